// Test-only. The shell starts in the overview, where a new window is mapped but not
// focused: once it has started, this leaves the overview, then tells the test that the
// shell is ready and where its X display is (XWayland's clients need both).
/* exported init */
const {GLib} = imports.gi;
const Main = imports.ui.main;

function tellReady() {
    const path = GLib.getenv('GNOME_TEST_READY_FILE');
    if (!path) {
        return;
    }
    const text = `DISPLAY=${GLib.getenv('DISPLAY') || ''}\nXAUTHORITY=${GLib.getenv('XAUTHORITY') || ''}\n`;
    // Written whole or not at all: the test reads it as soon as it is there.
    GLib.file_set_contents(path, text);
}

function leaveOverview() {
    if (!Main.overview.visible) {
        tellReady();
        return;
    }
    const id = Main.overview.connect('hidden', () => {
        Main.overview.disconnect(id);
        tellReady();
    });
    Main.overview.hide();
}

class LeaveOverview {
    enable() {
        if (Main.layoutManager._startingUp) {
            this._id = Main.layoutManager.connect('startup-complete', () => {
                Main.layoutManager.disconnect(this._id);
                leaveOverview();
            });
        } else {
            leaveOverview();
        }
    }

    disable() {}
}

function init() {
    return new LeaveOverview();
}
