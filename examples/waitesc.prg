* waitesc.prg - wait for the Esc key, but not for ever.
*
* M_WKEY returns .T. as soon as the key is held down and .F. when the time
* is up. A time-out of -1 would wait without limit.
#INCLUDE marvo32.h
SET LIBRARY TO marvo32.fll ADDITIVE

LOCAL lnSeconds
lnSeconds = 2
? "Press Esc within", lnSeconds, "seconds to stop..."
IF M_WKEY(VK_ESCAPE, lnSeconds * 1000)
    ? "Stopped: Esc was pressed."
ELSE
    ? "Nobody pressed Esc: going on."
ENDIF
