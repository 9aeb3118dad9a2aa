// KWin script: tells one running Vardo where the pointer is. Vardo loads it through KWin's
// scripting interface and puts its own bus name and the script's name in place of the two
// markers below. Positions are in KWin's logical pixels; the desktop rectangle goes with each,
// so that Vardo can map them to XWayland's pixels at any scale.
var vardo = "@VARDO_SERVICE@";
var pluginName = "@PLUGIN_NAME@";

function push() {
    var at = workspace.cursorPos;
    var desktop = workspace.virtualScreenGeometry;
    callDBus(vardo, "/org/example/Vardo/Pointer", "org.example.Vardo.PointerListener", "Moved",
             at.x, at.y, desktop.x, desktop.y, desktop.width, desktop.height);
}

// One push, then at most one more every 50 ms while the pointer keeps moving (Vardo looks
// ten times a second), ending with the position where it stopped.
var pending = false;
var quiet = new QTimer();
quiet.singleShot = true;
quiet.interval = 50;
quiet.timeout.connect(function () {
    if (pending) {
        pending = false;
        push();
        quiet.start();
    }
});
function moved() {
    if (quiet.active) {
        pending = true;
    } else {
        push();
        quiet.start();
    }
}
workspace.cursorPosChanged.connect(moved);
workspace.virtualScreenGeometryChanged.connect(moved);

// Vardo unloads the script when it ends itself; when it is killed or crashes, its bus name
// goes, and the script unloads itself at the next look.
var watch = new QTimer();
watch.interval = 1000;
watch.timeout.connect(function () {
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", vardo, function (alive) {
        if (!alive) {
            watch.stop();
            quiet.stop();
            callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                     pluginName);
        }
    });
});
watch.start();

push();
