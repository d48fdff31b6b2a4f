#!/usr/bin/env bash
# Export and collection speed and memory against quorvex-sandbox.
set -euo pipefail
bin=${1:-build/bin}

echo "== 60 items, about 10 pictures each, 30 ms per request"
"$bin/exportbench" --items 60 --latency 30 --jobs 8
echo
echo "== shared pictures: 40 items whose items share pictures, 30 ms per request"
"$bin/exportbench" --items 40 --latency 30 --jobs 8 --shared-pictures | grep -E 'items |time|requests|bound'
echo
echo "== memory: 1,000 and 10,000 items, no latency"
"$bin/exportbench" --items 1000 --latency 0 --jobs 8 | grep -E 'items |time|peak'
"$bin/exportbench" --items 10000 --latency 0 --jobs 8 | grep -E 'items |time|peak'
echo
echo "== stop: every picture host hangs (the wait is a minute); stop after 2 s"
"$bin/exportbench" --items 40 --latency 0 --jobs 8 --cancel-after 2000 \
  --fault 'img*.paipaiimg.com/*=hang' | grep -E 'items |time|stop to end'
echo
echo "== memory, hostile replies at --jobs 16: 100 MB pictures and 50 MB item documents (broken off)"
"$bin/exportbench" --items 300 --latency 0 --jobs 16 \
  --fault '*/gen/7/*/3.jpg=oversize:100000000' --fault '*itemCode=00000007*5&*=oversize:50000000' \
  | grep -E 'items |time|peak memory|failed'
echo
echo "== memory, large replies under the caps at --jobs 16: 7 MB item documents, 30 MB pictures"
"$bin/exportbench" --items 100 --latency 0 --jobs 16 \
  --fault '*itemCode=00000007*&*=oversize:7000000' --fault '*/gen/7/*/3.jpg=oversize:30000000' \
  | grep -E 'items |time|peak memory|failed'
echo
echo "== resume: 1,000 items again with --resume over their complete output, 30 ms per request"
"$bin/exportbench" --items 1000 --latency 30 --jobs 8 --resume | grep -E 'items |^time|resume|peak memory'
echo
echo "== collection: a shop of 200 listing pages, 100 ms per request"
"$bin/collectbench" --shop 4000 --latency 100 --page-by-page
echo
echo "== collection: a shop of 500 listing pages, 200 ms per request"
"$bin/collectbench" --shop 4001 --latency 200
