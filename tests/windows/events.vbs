' The tray's events as a script handler sees them: QorTest.Relay connects the
' handler (Wine's script host cannot), which reads texts and dialer objects that
' arrive by reference. Wine's script host swallows script errors: the last line
' says how it went.
Option Explicit
Dim seen, relay, m, number
seen = ""

Function Show(v)
    If IsObject(v) Then
        If v Is Nothing Then Show = "nothing" Else Show = "call in state " & v.State
    Else
        Show = CStr(v)
    End If
End Function

Class Handler
    Public Sub Heard(id, a)
        seen = seen & id & ":" & Show(a) & " "
    End Sub
End Class

Set relay = CreateObject("QorTest.Relay")
Set m = CreateObject("qorIcon.MenuEvent")
relay.Listen m, New Handler
number = "0301234"
m.MakeCall number  ' a variable goes by reference, as a VARIANT

m.Answer relay.NewCall()
If seen = "8:0301234 1:call in state 1 " Then
    WScript.Echo "RESULT ok"
Else
    WScript.Echo "RESULT failed: heard [" & seen & "]"
End If
