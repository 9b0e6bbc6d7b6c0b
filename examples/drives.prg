* drives.prg - the drives of this machine with their types and sizes.
*
* M_DRIVES gives one bit per drive letter (bit 0 is A:). For each drive
* M_DRVTYPE tells its type, plus 100 when no file can be made in its root
* (a drive without a disc, write-protected or read-only); to find out it
* creates the file x.x in the root. M_DRVBYTESX and M_DRVFREEX count exact
* bytes on drives of any size.
#INCLUDE marvo32.h
SET LIBRARY TO marvo32.fll ADDITIVE

LOCAL lnMask, lnBit, lcDrive, lnType, lcNote, laKinds[7]
laKinds[DRIVE_UNKNOWN + 1] = "unknown"
laKinds[DRIVE_NO_ROOT_DIR + 1] = "no root"
laKinds[DRIVE_REMOVABLE + 1] = "removable"
laKinds[DRIVE_FIXED + 1] = "fixed"
laKinds[DRIVE_REMOTE + 1] = "network"
laKinds[DRIVE_CDROM + 1] = "CD-ROM"
laKinds[DRIVE_RAMDISK + 1] = "RAM disk"

? "Drive", PADR("Type", 9), PADL("Size (bytes)", 19), PADL("Free (bytes)", 19)
lnMask = M_DRIVES()
FOR lnBit = 0 TO 25
    IF BITTEST(lnMask, lnBit)
        lcDrive = CHR(65 + lnBit) + ":"
        lnType = M_DRVTYPE(lcDrive)
        lcNote = ""
        IF lnType >= 100
            lcNote = "(no file can be made)"
        ENDIF
        ? PADR(lcDrive, 5), PADR(laKinds[lnType % 100 + 1], 9), ;
          TRANSFORM(M_DRVBYTESX(lcDrive), "999,999,999,999,999"), ;
          TRANSFORM(M_DRVFREEX(lcDrive), "999,999,999,999,999"), lcNote
    ENDIF
ENDFOR
