# A stored band that is no number.
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v CurrentBand /d 'forty' /f >/dev/null 2>&1
wineserver -w
