#!/usr/bin/env bash
# Serves build-web/ on this machine only (127.0.0.1, a free port) and prints
# the address to open in a browser. Ctrl+C stops it.
set -euo pipefail
cd "$(dirname "$0")/../build-web" 2> /dev/null || { echo "No build-web/: run make web first." >&2; exit 1; }
exec python3 - <<'PY'
import functools, http.server
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=".")
handler.func.extensions_map[".wasm"] = "application/wasm"
with http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler) as server:
    print(f"Tubechain is served at http://127.0.0.1:{server.server_address[1]}/ (Ctrl+C stops it)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
PY
