# The stress's counts of standard error, for a report.
if [ -n "${MORVEL_E2E_REPORT:-}" ]; then
    grep '^morvel-test-host: stress' "$CASE_TMP/stderr" >> "$MORVEL_E2E_REPORT" || true
fi
