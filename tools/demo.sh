#!/bin/sh
# Demo: until conversion exists, show the usage page.
set -e
BUILD_DIR=${1:-build}
"$BUILD_DIR/tolmek"
