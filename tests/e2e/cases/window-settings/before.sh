# A placement stored on a monitor that is no longer there.
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v NormPos /d '5000,5000,5370,5182' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v CurrentBand /d '7' /f >/dev/null 2>&1
wineserver -w
