// The pointer position for Vardo, for GNOME Shell 43 and 44 (the format before ES modules;
// 45/extension.js is the same for 45 and later). While enabled it answers GetPosition on the
// shell's own bus connection with the pointer and the stage's size, in the shell's logical
// pixels, and pushes the same to each Vardo that asks for it with Watch, on every move of the
// pointer. It offers nothing else.
'use strict';

const {Gio, GLib, Meta} = imports.gi;

const INTERFACE = `
<node>
  <interface name="org.example.Vardo.Pointer">
    <method name="GetPosition">
      <arg name="x" type="i" direction="out"/>
      <arg name="y" type="i" direction="out"/>
      <arg name="width" type="i" direction="out"/>
      <arg name="height" type="i" direction="out"/>
    </method>
    <method name="Watch"/>
    <signal name="Moved">
      <arg name="x" type="i"/>
      <arg name="y" type="i"/>
      <arg name="width" type="i"/>
      <arg name="height" type="i"/>
    </signal>
  </interface>
</node>`;
const PATH = '/org/example/Vardo/Pointer';
// At most one push every 50 ms while the pointer moves: Vardo looks ten times a second.
const QUIET_MS = 50;

// The shell's cursor tracker: on the backend from GNOME Shell 46, on the display before.
function cursorTracker() {
    if (global.backend && global.backend.get_cursor_tracker)
        return global.backend.get_cursor_tracker();
    return Meta.CursorTracker.get_for_display(global.display);
}

class VardoPointer {
    enable() {
        // Each Vardo that asked for pushes, by its unique bus name, and the watch on that
        // name: a Vardo that is gone gets nothing more.
        this._watchers = new Map();
        this._tracker = null;
        this._moved = 0;
        this._quiet = 0;
        this._pending = false;
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, PATH);
    }

    disable() {
        this._object.unexport();
        this._object = null;
        for (const id of this._watchers.values())
            Gio.bus_unwatch_name(id);
        this._watchers.clear();
        this._follow(false);
    }

    GetPosition() {
        return this._position();
    }

    // A Vardo asks for the pointer to be pushed to it on each move, as the Moved signal sent
    // to its unique name alone; the first push, with the pointer where it is now, comes at
    // once. Nothing is sent while the pointer rests, or while no Vardo is watching.
    WatchAsync(parameters, invocation) {
        const name = invocation.get_sender();
        if (!this._watchers.has(name)) {
            this._watchers.set(name, Gio.bus_watch_name_on_connection(
                Gio.DBus.session, name, Gio.BusNameWatcherFlags.NONE, null,
                () => this._forget(name)));
            this._follow(true);
        }
        invocation.return_value(null);
        this._send([name]);
    }

    _forget(name) {
        const id = this._watchers.get(name);
        if (id === undefined)
            return;
        Gio.bus_unwatch_name(id);
        this._watchers.delete(name);
        if (this._watchers.size === 0)
            this._follow(false);
    }

    _follow(on) {
        if (on && !this._tracker) {
            this._tracker = cursorTracker();
            this._moved = this._tracker.connect('position-invalidated', () => this._onMoved());
        } else if (!on && this._tracker) {
            this._tracker.disconnect(this._moved);
            this._tracker = null;
            if (this._quiet)
                GLib.source_remove(this._quiet);
            this._quiet = 0;
            this._pending = false;
        }
    }

    // One push at once, then at most one every QUIET_MS while the pointer keeps moving, the
    // last with the place where it stopped.
    _onMoved() {
        if (this._quiet) {
            this._pending = true;
            return;
        }
        this._send([...this._watchers.keys()]);
        this._quiet = GLib.timeout_add(GLib.PRIORITY_DEFAULT, QUIET_MS, () => {
            if (!this._pending) {
                this._quiet = 0;
                return GLib.SOURCE_REMOVE;
            }
            this._pending = false;
            this._send([...this._watchers.keys()]);
            return GLib.SOURCE_CONTINUE;
        });
    }

    _position() {
        const [x, y] = global.get_pointer();
        return [x, y, global.stage.width, global.stage.height];
    }

    _send(names) {
        const position = new GLib.Variant('(iiii)', this._position());
        for (const name of names) {
            try {
                Gio.DBus.session.emit_signal(name, PATH, 'org.example.Vardo.Pointer', 'Moved',
                    position);
            } catch (e) {
                // The name has gone; its watch says so in a moment.
            }
        }
    }
}

function init() {
    return new VardoPointer();
}
