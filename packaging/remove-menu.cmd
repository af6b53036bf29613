@echo off
rem Takes the "Create tar.xz" entry away for this user: the menu keys, and
rem on Windows 11 the package that puts it on the first context menu.
reg import "%~dp0remove-menu.reg"
"%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe" -NoProfile -NonInteractive -Command "Get-AppxPackage -Name 'arkiva.shell' | Remove-AppxPackage"
