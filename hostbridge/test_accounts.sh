# Sourced by the tests that log on: writes test accounts for pam_wrapper
# (pam_matrix) and nss_wrapper into a scratch directory and sets
#   test_user, test_password  the account that may log on,
#   test_groups               its groups in NSS order, comma-separated,
#   wrapper_env               the environment (NAME=value words) that makes
#                             PAM and NSS answer from these files only.
# Usage: make_test_accounts DIR
# The account "ghost" passes PAM but is unknown to the user database.

make_test_accounts() {
  local dir=$1
  local wrappers=/usr/lib/x86_64-linux-gnu
  local pam_matrix=$wrappers/pam_wrapper/pam_matrix.so
  local f
  for f in "$wrappers/libpam_wrapper.so" "$wrappers/libnss_wrapper.so" "$pam_matrix"; do
    [ -e "$f" ] || { echo "missing $f (packages libpam-wrapper, libnss-wrapper)"; return 1; }
  done
  mkdir -p "$dir/pam"
  test_user=zxuser
  test_password='s3cret w'$'\xc3\xb6''rd'
  # A name over 255 characters comes back cut to 255.
  local long_name
  long_name=$(printf 'L%.0s' $(seq 300))
  printf '%s:%s:zxtest\nghost:boo:zxtest\n' "$test_user" "$test_password" > "$dir/passdb"
  local type
  for type in auth account; do
    printf '%s required %s passdb=%s\n' "$type" "$pam_matrix" "$dir/passdb"
  done > "$dir/pam/zxtest"
  # The fallback service, which pam_wrapper wants to find; it admits nobody
  # because the passdb entries name the service "zxtest".
  cp "$dir/pam/zxtest" "$dir/pam/other"
  printf '%s:x:4711:4711:Test user:/nonexistent:/bin/false\n' "$test_user" > "$dir/passwd"
  {
    printf 'zxusers:x:4711:\nzxadmins:x:4712:%s\n' "$test_user"
    printf 'gr\xc3\xbcppe:x:4713:other,%s\nzxothers:x:4714:other\n' "$test_user"
    printf '%s:x:4715:%s\n' "$long_name" "$test_user"
    # More groups than the first group buffer holds.
    local i
    for i in $(seq 1 40); do printf 'zxg%02d:x:%d:%s\n' "$i" $((4800 + i)) "$test_user"; done
  } > "$dir/group"
  test_groups="zxusers,zxadmins,gr"$'\xc3\xbc'"ppe,${long_name:0:255}"
  for i in $(seq 1 40); do test_groups+=$(printf ',zxg%02d' "$i"); done
  wrapper_env=(
    LD_PRELOAD="$wrappers/libpam_wrapper.so:$wrappers/libnss_wrapper.so"
    PAM_WRAPPER=1 PAM_WRAPPER_SERVICE_DIR="$dir/pam"
    NSS_WRAPPER_PASSWD="$dir/passwd" NSS_WRAPPER_GROUP="$dir/group"
    HOSTBRIDGE_PAM_SERVICE=zxtest
  )
}
