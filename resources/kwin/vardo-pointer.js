// KWin script: tells one running Vardo where the pointer is. Vardo loads it through KWin's
// scripting interface and puts its own bus name and the script's name in place of the two
// markers below. Positions are in KWin's logical pixels; the desktop rectangle goes with each,
// so that Vardo can map them to XWayland's pixels at any scale.
var vardo = "@VARDO_SERVICE@";
var pluginName = "@PLUGIN_NAME@";

// Vardo unloads the script when it ends itself. When it is killed or crashes its bus name goes,
// and a push to it fails without a word (callDBus calls back on success only): so before a
// push the script asks the bus whether the name still has its owner, at the first push after
// the pointer has stopped and then at most once a second while it keeps moving, and unloads
// itself if not. Nothing runs while the pointer rests; a script left behind by a killed Vardo
// goes at the next move.
var checked = 0;
var stopped = true;
var gone = false;
function checkVardo() {
    var now = Date.now();
    if (!stopped && now - checked < 1000)
        return;
    stopped = false;
    checked = now;
    callDBus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", vardo, function (alive) {
        if (!alive && !gone) {
            gone = true;
            quiet.stop();
            workspace.cursorPosChanged.disconnect(moved);
            workspace.virtualScreenGeometryChanged.disconnect(moved);
            callDBus("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                     pluginName);
        }
    });
}

function push() {
    checkVardo();
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
    } else {
        stopped = true;
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

push();
