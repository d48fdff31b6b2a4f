#!/usr/bin/env bash
# Export and collection speed and memory against quorvex-sandbox.
set -euo pipefail
bin=${1:-build/bin}

echo "== 60 items, about 10 pictures each, 30 ms per request"
"$bin/exportbench" --items 60 --latency 30 --jobs 8
echo
echo "== memory: 1,000 and 10,000 items, no latency"
"$bin/exportbench" --items 1000 --latency 0 --jobs 8 | grep -E 'items |time|peak'
"$bin/exportbench" --items 10000 --latency 0 --jobs 8 | grep -E 'items |time|peak'
echo
echo "== resume: 1,000 items again with --resume over their complete output, 30 ms per request"
"$bin/exportbench" --items 1000 --latency 30 --jobs 8 --resume | grep -E 'items |^time|resume|peak memory'
echo
echo "== collection: a shop of 200 listing pages, 100 ms per request"
"$bin/collectbench" --shop 4000 --latency 100 --page-by-page
echo
echo "== collection: a shop of 500 listing pages, 200 ms per request"
"$bin/collectbench" --shop 4001 --latency 200
