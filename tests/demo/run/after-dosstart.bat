@ECHO OFF
REM Windows runs this file when it restarts in MS-DOS mode
LH C:\MOUSE\MOUSE.COM /Y
LH C:\WINDOWS\COMMAND\MSCDEX.EXE /D:MSCD001 /M:8
KEYB GR,,C:\WINDOWS\COMMAND\KEYBOARD.SYS
CALL CLSETUP.BAT
REM CLS clears the screen
  lh smartdrv  

C:\DOS\DOSKEY.COM
