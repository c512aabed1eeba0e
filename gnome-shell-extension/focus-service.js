// The logic both forms of the extension share. The build wraps it twice: once with the
// `imports` of GNOME Shell 40 to 44, once as an ES module for 45 and later; each
// wrapper defines Gio, GLib and Main before this text.
//
// One object on the session bus tells the window that has the keyboard focus, and
// whether the session is locked, when a program asks; it does nothing otherwise.
const BUS_NAME = '@BUS_NAME@';
const OBJECT_PATH = '@OBJECT_PATH@';
// The names and the version come from src/platform/gnome_shell_extension.h, which the
// sampler reads too. The version, in the interface's name and in every answer, changes
// whenever the answer's meaning does: the sampler checks it, and tells the user to
// reinstall when they differ.
const INTERFACE_VERSION = @INTERFACE_VERSION@;
const INTERFACE_XML = `<node>
  <interface name="@INTERFACE_NAME@">
    <method name="Focus">
      <arg direction="out" type="u" name="version"/>
      <arg direction="out" type="b" name="locked"/>
      <arg direction="out" type="b" name="focused"/>
      <arg direction="out" type="s" name="title"/>
      <arg direction="out" type="s" name="wm_class"/>
      <arg direction="out" type="s" name="app_id"/>
      <arg direction="out" type="u" name="pid"/>
    </method>
  </interface>
</node>`;

function sessionIsLocked() {
    return Main.sessionMode.isLocked || Boolean(Main.screenShield && Main.screenShield.locked);
}

// The window's text is not handed out while the session is locked: it is the window
// under the lock, not one the user is working in.
function focusAnswer() {
    const locked = sessionIsLocked();
    const window = locked ? null : global.display.focus_window;
    if (!window) {
        return [INTERFACE_VERSION, locked, false, '', '', '', 0];
    }
    const pid = window.get_pid();
    return [
        INTERFACE_VERSION,
        false,
        true,
        window.get_title() || '',
        window.get_wm_class() || '',
        // A Flatpak application's own id; its WM class is often its executable's.
        window.get_sandboxed_app_id() || '',
        pid > 0 ? pid : 0,
    ];
}

class FocusService {
    constructor() {
        this._exported = null;
        this._nameId = 0;
    }

    enable() {
        this._exported = Gio.DBusExportedObject.wrapJSObject(INTERFACE_XML, {
            Focus: focusAnswer,
        });
        this._exported.export(Gio.DBus.session, OBJECT_PATH);
        this._nameId = Gio.bus_own_name_on_connection(
            Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        if (this._nameId !== 0) {
            Gio.bus_unown_name(this._nameId);
            this._nameId = 0;
        }
        if (this._exported) {
            this._exported.unexport();
            this._exported = null;
        }
    }
}
