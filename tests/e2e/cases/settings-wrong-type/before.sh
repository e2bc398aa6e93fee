# A value of the wrong type: the failure is shown, the window carries on and
# its settings are left as they were.
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v NormPos /t REG_DWORD /d 5 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\morvel-host\TfmMainForm' /v CurrentBand /d 'kept' /f >/dev/null 2>&1
wineserver -w
