#!/bin/sh
# Writes corpus seeds of one line of about 1 MB without a break opportunity for the HTML, plain-text,
# Word and OpenDocument fuzzers, into CORPUS/<fuzzer>/ (libFuzzer takes its maximum input length from
# the largest seed, so these also let mutations grow that long):
#   fuzz/long_line_seeds.sh build-fuzz/corpus
#   build-fuzz/fuzz/plain_text_fuzzer -timeout=60 build-fuzz/corpus/plain_text_fuzzer
set -eu
out=${1:?usage: long_line_seeds.sh CORPUS-FOLDER}
mkdir -p "$out/html_fuzzer" "$out/plain_text_fuzzer" "$out/docx_fuzzer" "$out/odt_fuzzer"
# 1 MB of one letter, and about 1 MB of U+FFFD as a damaged file decodes to.
letters() { head -c 1048576 /dev/zero | tr '\0' 'a'; }
replacement() { i=0; s=$(printf '\357\277\275'); s="$s$s$s$s$s$s$s$s"; s="$s$s$s$s$s$s$s$s"
  while [ $i -lt 1821 ]; do printf '%s' "$s$s$s"; i=$((i + 1)); done; }
letters > "$out/plain_text_fuzzer/long-line-letters.txt"
replacement > "$out/plain_text_fuzzer/long-line-replacement.txt"
# Entities no table knows are kept as written: 1 MB of them, with nothing to break between.
{ printf '<html><body><p>'; head -c 149797 /dev/zero | tr '\0' 'x' | sed 's/x/\&bogus;/g'; printf '</p></body></html>'; } \
    > "$out/html_fuzzer/long-line-entities.html"
{ printf '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body><w:p><w:r><w:t>'
  letters; printf '</w:t></w:r></w:p></w:body></w:document>'; } > "$out/docx_fuzzer/long-line.xml"
{ printf '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text><text:p>'
  letters; printf '</text:p></office:text></office:body></office:document-content>'; } > "$out/odt_fuzzer/long-line.xml"
