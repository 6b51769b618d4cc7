#!/usr/bin/env bash
# Regenerates every picture of docs/guide.md from the program itself:
#   docs/make_guide_pictures.sh [BUILD_DIR]        (default: build/dev)
# 1. samples/*.bmp from samples/make_samples.py;
# 2. docs/images/sample-*.png and the results of docs/guide-examples.txt,
#    run through BUILD_DIR's vem-cli;
# 3. docs/images/main-window.png, the main window on the offscreen platform,
#    when BUILD_DIR has the desktop program's screenshot tool.
# Build first, e.g. `cmake --preset dev && cmake --build --preset dev`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cli=$build/tools/vem-cli
if [ ! -x "$cli" ]; then
  echo "make_guide_pictures: $cli not found; build the project first" >&2
  exit 1
fi

python3 samples/make_samples.py
python3 docs/guide_pictures.py --cli "$cli"

screenshot=$build/tools/vem-screenshot
if [ -x "$screenshot" ]; then
  QT_QPA_PLATFORM=offscreen "$screenshot" docs/images/main-window.png
  echo "wrote docs/images/main-window.png"
else
  echo "make_guide_pictures: $screenshot not built; docs/images/main-window.png left as it is" >&2
fi
