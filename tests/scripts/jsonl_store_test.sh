#!/usr/bin/env bash
# The JSON Lines output read by programs that are not ours: every line
# through Python's json and jq (where installed), the events equal to the
# CSV's, and the lines loaded into a ClickHouse server started here on a
# loopback port with a data folder of its own (docs/cli.md, "ClickHouse").
#   tests/scripts/jsonl_store_test.sh BUILD_DIR
# Prints "N passed, N failed"; exit code 1 when a check failed.
set -uo pipefail
build=${1:?usage: jsonl_store_test.sh BUILD_DIR}
cli="$build/bin/quorvin-cli"
work=$(mktemp -d)
server_pid=""
cleanup() {
  # The server is given 20 s to shut down, then ended.
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    for _ in $(seq 1 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.2; done
    kill -9 "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
passed=0; failed=0
check() { # check NAME COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}

run=(--network "$build/demo-network" --computers DC01,FS01,PC01,PC02 --user Administrator --password 'P@ssw0rd'
     --report "$work/report.txt")
"$cli" "${run[@]}" --csv "$work/events.csv" || { echo "the CSV run failed"; exit 1; }
"$cli" "${run[@]}" --format jsonl --out "$work/events.jsonl" || { echo "the JSON Lines run failed"; exit 1; }

# Computer and event ID of every event, as the CSV has them (CP932, CR LF)
# and as the JSON lines do.
python3 - "$work" <<'PY' || failed=$((failed + 1))
import csv, io, json, sys, collections
work = sys.argv[1]
# Cells holding a comma, a quote or a line break are quoted as Excel reads them.
rows = list(csv.reader(io.StringIO(open(work + "/events.csv", "rb").read().decode("cp932"), newline="")))[1:]
lines = open(work + "/events.jsonl", "rb").read().decode("utf-8").split("\n")
assert lines[-1] == "", "the file ends with a line break"
events = [json.loads(line) for line in lines[:-1]]
assert all(isinstance(e, dict) for e in events)
assert all(len(r) == 7 for r in rows), "every CSV row has its seven cells"
from_csv = collections.Counter((r[3], r[5]) for r in rows)
from_json = collections.Counter((e["host.name"], str(e["winlog.event_id"])) for e in events)
assert from_csv == from_json, "computer and event ID counts differ"
messages_csv = sorted(r[6] for r in rows)
messages_json = sorted(e["message"] if e["message"] else "-" for e in events)
assert messages_csv == messages_json, "messages differ"
with open(work + "/counts.tsv", "w") as out:
    for (host, event), n in sorted(from_csv.items()):
        out.write("%s\t%s\t%d\n" % (host, event, n))
print("python json: %d lines, the CSV's events" % len(events))
PY
[ -s "$work/counts.tsv" ] && passed=$((passed + 1))

if command -v jq >/dev/null; then
  check "jq reads every line" jq -e -s 'length > 0 and all(.[]; type == "object")' "$work/events.jsonl"
fi

server=$(command -v clickhouse-server || ls /usr/sbin/clickhouse-server 2>/dev/null || true)
if [ -z "$server" ]; then
  echo "clickhouse-server is not installed (scripts/setup installs it): not loaded into a store"
else
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  tcp=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  mkdir -p "$work/ch/data" "$work/ch/tmp"
  cat >"$work/ch/config.xml" <<XML
<yandex>
  <logger><level>warning</level><log>$work/ch/server.log</log><errorlog>$work/ch/error.log</errorlog></logger>
  <listen_host>127.0.0.1</listen_host>
  <http_port>$port</http_port>
  <tcp_port>$tcp</tcp_port>
  <path>$work/ch/data/</path>
  <tmp_path>$work/ch/tmp/</tmp_path>
  <users_config>$work/ch/users.xml</users_config>
  <default_profile>default</default_profile>
  <default_database>default</default_database>
  <mark_cache_size>5368709120</mark_cache_size>
</yandex>
XML
  cat >"$work/ch/users.xml" <<XML
<yandex>
  <profiles><default/></profiles>
  <users><default><password></password><networks><ip>127.0.0.1</ip><ip>::1</ip></networks>
    <profile>default</profile><quota>default</quota></default></users>
  <quotas><default/></quotas>
</yandex>
XML
  "$server" --config-file="$work/ch/config.xml" >"$work/ch/stdout.log" 2>&1 &
  server_pid=$!
  up=0
  for _ in $(seq 1 100); do
    if curl -s "http://127.0.0.1:$port/ping" 2>/dev/null | grep -q Ok; then up=1; break; fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ $up -eq 0 ]; then
    echo "FAILED: clickhouse-server did not start"; tail -20 "$work/ch/stdout.log" "$work/ch/error.log" 2>/dev/null
    failed=$((failed + 1))
  else
    query() { curl -sS --fail "http://127.0.0.1:$port/" --data-binary "$1"; }
    # The table of docs/cli.md; this server takes DateTime in ISO 8601 as a
    # String only, so the times are parsed in the query.
    check "create the table" query "CREATE TABLE winlog (
        \`@timestamp\` String, \`event.code\` String, \`host.name\` String, \`winlog.channel\` String,
        \`winlog.provider_name\` String, \`winlog.event_id\` UInt32, \`winlog.record_id\` UInt32,
        \`log.level\` String, message String
      ) ENGINE = MergeTree ORDER BY (\`host.name\`, \`winlog.channel\`, \`winlog.record_id\`)"
    check "insert the lines" curl -sS --fail \
      "http://127.0.0.1:$port/?input_format_skip_unknown_fields=1&query=INSERT%20INTO%20winlog%20FORMAT%20JSONEachRow" \
      --data-binary "@$work/events.jsonl"
    query "SELECT \`host.name\`, \`winlog.event_id\`, count() FROM winlog GROUP BY \`host.name\`, \`winlog.event_id\`
           ORDER BY \`host.name\`, toString(\`winlog.event_id\`) FORMAT TabSeparated" >"$work/store.tsv"
    sort "$work/counts.tsv" >"$work/a.tsv"; sort "$work/store.tsv" >"$work/b.tsv"
    check "count() by computer and event ID equals the CSV's" cmp -s "$work/a.tsv" "$work/b.tsv"
    unread=$(query "SELECT count() FROM winlog WHERE parseDateTimeBestEffortOrNull(\`@timestamp\`) IS NULL")
    check "the times read as times" [ "$unread" = 0 ]
    echo "clickhouse: $(query 'SELECT count() FROM winlog') rows loaded"
  fi
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
