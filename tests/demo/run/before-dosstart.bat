@ECHO OFF
REM Windows runs this file when it restarts in MS-DOS mode
LH C:\MOUSE\MOUSE.COM /Y
LH C:\WINDOWS\COMMAND\MSCDEX.EXE /D:MSCD001 /M:8
REM Start the SENTRYX.EXE guard
C:\K-WARD\SENTRYX.EXE /LOAD
lh c:\k-ward\sentryx.exe /q
@"C:\PROGRA~1\K-WARD\SentryX.Exe" /SCAN
cls
@CLS
  Cls >NUL
CLS&ECHO Guard loaded
KEYB GR,,C:\WINDOWS\COMMAND\KEYBOARD.SYS
CALL CLSETUP.BAT
REM CLS clears the screen
  lh smartdrv  

C:\DOS\DOSKEY.COM