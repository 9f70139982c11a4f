#!/usr/bin/env bash
# Makes "Руководство пользователя.doc" (Word 97) from its HTML source with
# LibreOffice Writer. Development machines only; the .doc is committed, so
# building needs nothing of this. LibreOffice is given ASCII file names (it
# may refuse others under a C locale) and a private profile.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here/Руководство пользователя.html" "$work/manual.html"
soffice -env:UserInstallation="file://$work/profile" --headless --infilter="HTML (StarWriter)" \
  --convert-to doc:"MS Word 97" --outdir "$work" "$work/manual.html" >/dev/null
cp "$work/manual.doc" "$here/Руководство пользователя.doc"
echo "written: $here/Руководство пользователя.doc"
