#!/usr/bin/env bash
# The browser build's tests: its headless twin under node plays every golden replay as the
# native koravel-sim does, and the page, served on loopback, is played in headless Chromium,
# alone and served by koravel-board.
# Usage: web/test.sh NATIVE_BUILD WEB_BUILD (screenshots land in WEB_BUILD/shots/)
set -euo pipefail
native=$(cd "$1" && pwd)
webbuild=$(cd "$2" && pwd)
cd "$(dirname "$0")"
[ -d node_modules/playwright-core ] || PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund
./check_node.sh "$native" "$webbuild"
node browser_test.js "$webbuild/page" "$webbuild/shots" "$native/koravel-board"
