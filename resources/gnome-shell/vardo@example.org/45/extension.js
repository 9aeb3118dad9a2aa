// The pointer position for Vardo, for GNOME Shell 45 and later (ES modules; 43/extension.js is
// the same for 43 and 44). While enabled it answers GetPosition on the shell's own bus
// connection with the pointer and the stage's size, in the shell's logical pixels, and offers
// nothing else.
import Gio from 'gi://Gio';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

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

export default class VardoPointer extends Extension {
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
