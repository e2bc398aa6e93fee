# Odd stored values: an empty sized name, a negative rectangle off every
# monitor, a maximised state, a negative band, and a huge text.
key='HKCU\Software\morvel-host'
wine reg add "$key\\TfmMainForm" /v 'NormPos(1920x1080)' /d '' /f >/dev/null 2>&1
wine reg add "$key\\TfmMainForm" /v NormPos /d '-900 -700 -526 -504' /f >/dev/null 2>&1
wine reg add "$key\\TfmMainForm" /v ShowCmd /d '3' /f >/dev/null 2>&1
wine reg add "$key\\TfmMainForm" /v CurrentBand /d ' -7 ' /f >/dev/null 2>&1
# A text too long for any command line goes in through a .reg file.
{
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\morvel-host\\TfmDomList]\r\n'
    printf '"NormPos"="%s"\r\n' "$(head -c 70000 /dev/zero | tr '\0' '7')"
} > "$CASE_TMP/huge.reg"
wine regedit /S "$(winepath -w "$CASE_TMP/huge.reg")" >/dev/null 2>&1
wineserver -w
