// qorIcon's classes from a script, as a web page or the client's scripts use them.
// Wine's script host swallows script errors: the last line says how it went.
var failures = [];
function check(what, got, expected) {
    if (got !== expected) failures.push(what + ": got [" + got + "], expected [" + expected + "]");
}
function run(what, body) {
    try { body(); } catch (e) {
        failures.push(what + " threw " + (e.number >>> 0).toString(16) + " " + e.description);
    }
}

run("ClickToCall", function () {
    var c = new ActiveXObject("qorIcon.ClickToCall");
    check("AppEdn", c.AppEdn, "4711");                    // set by the harness
    check("AppRunning", c.AppRunning, false);             // no client window
    check("AppConnected", c.AppConnected, false);         // not running, whatever the state
    check("AppConnectivity", c.AppConnectivity, 0);
    check("ExecuteCommand", c.ExecuteCommand("Call", "123"), "");
    c.CallEdn(" 123 ", "Ann", "Lee");                     // the harness reads the command line
});

run("MenuEvent", function () {
    var m = new ActiveXObject("qorIcon.MenuEvent");
    m.Configure();
    m.MakeCall("123");
});

run("Launcher", function () {
    var l = new ActiveXObject("qorIcon.Launcher");
    check("IsOfflineSelected", l.IsOfflineSelected(), false);
    check("ExecuteCommand", typeof l.ExecuteCommand("ForwardIconID", "12"), "undefined");
    check("ExecuteCommand bad args", typeof l.ExecuteCommand("ForwardIconID", "x"), "undefined");
    l.SetTooltip("hello");
    check("GetMenuEvent", typeof l.GetMenuEvent(), "object");
    // A script object serves as a session: its members are reached by name.
    var session = { SessionKey: "script" };
    l.addSession(session, 2, "Script");
    var caught = null;
    try { l.addSession(session, 2, "Script"); } catch (e) { caught = e; }
    check("duplicate session fails", caught !== null, true);
    if (caught) {
        check("error number", caught.number & 0xFFFF, 457);
        check("error text", caught.description,
              "This key is already associated with an element of this collection");
    }
});

WScript.Echo(failures.length ? "RESULT failed\n" + failures.join("\n") : "RESULT ok");
