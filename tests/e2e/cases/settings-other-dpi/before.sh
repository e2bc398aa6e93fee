# A placement saved at another screen resolution is not applied.
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v NormPos /d '100 100 500 300' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v PixelsPerInch /d '120' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v ShowCmd /d '2' /f >/dev/null 2>&1
wineserver -w
