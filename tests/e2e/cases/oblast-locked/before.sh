# The operator's settings, which the failed start must leave as they are.
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v NormPos /d '100,100,470,282' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v CurrentBand /d '7' /f >/dev/null 2>&1
wineserver -w
