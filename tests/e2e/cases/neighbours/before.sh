# The neighbour library and the runtime DLL it uses, beside the host.
cp "$MORVEL_NEIGHBOUR_DIR"/*.dll "$CASE_TMP/app/"
