#!/usr/bin/env bash
# The shipped Prometheus files: the rules load, their unit test passes (an alert fires on a
# lasting condition, not on one lost round), and the scrape configuration is valid.
# Usage: check-prometheus-rules.sh <packaging/prometheus>. Exit 77 when promtool is missing.
set -u
dir=$1
if ! command -v promtool >/dev/null; then
    echo "promtool is missing (scripts/install-deps.sh installs Debian's prometheus)"
    exit 77
fi
cd "$dir" || exit 1
promtool check rules kaptiv-rules.yml || exit 1
promtool test rules kaptiv-rules.test.yml || exit 1
promtool check config prometheus.yml || exit 1
