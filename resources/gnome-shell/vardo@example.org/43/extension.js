// The pointer position for Vardo, for GNOME Shell 43 and 44 (the format before ES modules;
// 45/extension.js is the same for 45 and later). While enabled it answers GetPosition on the
// shell's own bus connection with the pointer and the stage's size, in the shell's logical
// pixels, and offers nothing else.
'use strict';

const {Gio} = imports.gi;

const INTERFACE = `
<node>
  <interface name="org.example.Vardo.Pointer">
    <method name="GetPosition">
      <arg name="x" type="i" direction="out"/>
      <arg name="y" type="i" direction="out"/>
      <arg name="width" type="i" direction="out"/>
      <arg name="height" type="i" direction="out"/>
    </method>
  </interface>
</node>`;

class VardoPointer {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, this);
        this._object.export(Gio.DBus.session, '/org/example/Vardo/Pointer');
    }

    disable() {
        this._object.unexport();
        this._object = null;
    }

    GetPosition() {
        const [x, y] = global.get_pointer();
        return [x, y, global.stage.width, global.stage.height];
    }
}

function init() {
    return new VardoPointer();
}
