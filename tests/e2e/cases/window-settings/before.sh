# A placement stored on a monitor that is no longer there.
key='HKCU\Software\morvel-host'
wine reg add "$key\\TfmMainForm" /v NormPos /d '5000,5000,5370,5182' /f >/dev/null 2>&1
wine reg add "$key\\TfmMainForm" /v CurrentBand /d '7' /f >/dev/null 2>&1
# Placements that meet the monitor but are larger than its work area: wider
# than every monitor (under the screen-size name), and covering all of the
# coordinates there are. Applied as they are, the system would put such a
# window at -32768 and shrink it to a caption.
wine reg add "$key\\TfmDomList" /v 'NormPos(1920x1080)' /d '-40000,300,40000,500' /f >/dev/null 2>&1
wine reg add "$key\\TfmMultCheck" /v NormPos \
    /d '-2147483648,-2147483648,2147483647,2147483647' /f >/dev/null 2>&1
wineserver -w
