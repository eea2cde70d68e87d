# Sourced by the package tests: how a check fails.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Fails unless ACTUAL is EXPECTED, showing both.
expect_equal() {
  local what=$1 actual=$2 expected=$3
  if [ "$actual" != "$expected" ]; then
    echo "expected $what:" >&2
    echo "$expected" >&2
    echo "found:" >&2
    echo "$actual" >&2
    fail "$what"
  fi
}
