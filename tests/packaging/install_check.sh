#!/usr/bin/env bash
# Installs the build into a staging prefix and checks what a desktop would find there: the
# programs, the importer beside its host, a valid desktop entry, a MIME database that knows the
# package type, the thumbnailer entry and the help pages.
set -euo pipefail
build_dir=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install "$build_dir" --prefix "$stage/usr" > "$stage/install.log"
for program in orvane orvane-mdimport orvane-preview orvane-thumbnail; do
  test -x "$stage/usr/bin/$program" || { echo "missing $program"; exit 1; }
done
importer=$(find "$stage/usr/lib" -name liborvane-importer.so | head -n1)
test -n "$importer" || { echo "missing the importer library"; exit 1; }

desktop-file-validate "$stage/usr/share/applications/orvane.desktop"
test -f "$stage/usr/share/thumbnailers/orvane.thumbnailer"
# The icon the desktop entry names.
for size in 48 128; do
  test -f "$stage/usr/share/icons/hicolor/${size}x${size}/apps/orvane.png" || { echo "missing the ${size} px icon"; exit 1; }
done
grep -q '^Exec=orvane-thumbnail -s %s %i %o$' "$stage/usr/share/thumbnailers/orvane.thumbnailer"

update-mime-database "$stage/usr/share/mime"
grep -q 'inode/directory' "$stage/usr/share/mime/application/x-orvane-document.xml"
grep -q 'application/x-orvane-document' "$stage/usr/share/mime/globs2"
grep -q 'application/x-orvane-prompter-document' "$stage/usr/share/mime/globs2"

# Every help page ships where the installed program opens it.
for page in "$3"/*.html; do
  test -f "$stage/usr/share/orvane/help/$(basename "$page")" ||
    { echo "FAIL: the help page $(basename "$page") is not installed"; exit 1; }
done

# The installed host finds the installed importer on its own.
package="$stage/Script.ovdocument"
cp -r "$2" "$package"
"$stage/usr/bin/orvane-mdimport" "$package" | grep -q '"imported":true'
echo "installed and checked in $stage"
