#!/usr/bin/env bash
# Makes Gleanex's sample harvest in FOLDER: the files of gleanex-make-sample, and a record
# server "sample" (Kelvra over SQLite, under FOLDER/home) whose database "books" holds the
# sample catalogue. Outputs of earlier sample runs in FOLDER are removed; the program copy
# that the build puts there stays.
# Usage: make_sample.sh FOLDER MAKER KELVRA_ADMIN
set -euo pipefail
folder=$1 maker=$2 admin=$3
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
rm -rf "$folder/home" "$folder"/{catalogue.mrc,isbns.xlsx,Gleanex.ini,Sheetrix.ini,hits.mrc,misses.xlsx}
"$maker" "$folder"
export QORVEL_HOME="$folder/home"
"$admin" create-server sample
"$admin" create-db sample books
"$admin" import sample books "$folder/catalogue.mrc" >/dev/null
