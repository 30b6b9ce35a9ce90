#!/usr/bin/env bash
# Prints the program's version as resources/version.h gives it, e.g. 1.0.1103.2801.
awk '/^#define TENDRAL_VERSION_[A-Z]+ [0-9]+$/ { printf "%s%s", sep, $3; sep = "." } END { print "" }' \
  "$(dirname "$0")/../resources/version.h"
