#!/usr/bin/env bash
# Lints the JSON API's OpenAPI document (agent/web/openapi.json) with the
# validator pinned in package.json and package-lock.json (@redocly/cli, its
# recommended rules): a fault in the document fails the test. Installs the
# pinned packages here first when they are missing (npm ci, as run.sh does).
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
command -v npm >/dev/null || { echo "npm is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
if [ ! -x "$HERE/node_modules/.bin/redocly" ]; then
  (cd "$HERE" && npm ci --prefer-offline --no-audit --no-fund --loglevel=error)
fi
export REDOCLY_TELEMETRY=off REDOCLY_SUPPRESS_UPDATE_NOTICE=true NO_COLOR=1
exec "$HERE/node_modules/.bin/redocly" lint --format=stylish "$ROOT/agent/web/openapi.json"
