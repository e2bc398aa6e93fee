# A small multiplier check, stored: only a few rows of each block in view.
key='HKCU\Software\morvel-host'
wine reg add "$key\\TfmMultCheck" /v NormPos /d '20,100,920,480' /f >/dev/null 2>&1
wine reg add "$key\\TfmMultCheck" /v PixelsPerInch /d '96' /f >/dev/null 2>&1
wineserver -w
