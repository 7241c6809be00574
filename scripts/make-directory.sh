#!/usr/bin/env bash
# Writes a large plain station directory for the measuring scripts:
#
#   scripts/make-directory.sh FOLDER CATEGORIES MENUS STATIONS [ICON_BASE]
#
# FOLDER/MoviesSettings.txt names CATEGORIES category files, each with MENUS menus of STATIONS
# stations, laid out the way list authors write them. Station n is captioned "Channel n" (every
# fourth "Tom &amp; Jerry TV n", as names with an ampersand are written) with n in six digits, so
# the digits of the last station are found in it alone. With ICON_BASE every station names one
# of a hundred icons ICON_BASE0.gif to ICON_BASE99.gif.
set -euo pipefail
[[ $# -ge 4 ]] || { echo "usage: $0 FOLDER CATEGORIES MENUS STATIONS [ICON_BASE]" >&2; exit 2; }
mkdir -p "$1"
awk -v OUT="$1" -v CATS="$2" -v MENUS="$3" -v STATIONS="$4" -v ICONS="${5:-}" '
BEGIN {
    movies = OUT "/MoviesSettings.txt"
    printf "<MOVIES_SETTINGS>\n\t<VERSION>1.0</VERSION>\n\t<MOVIES>\n" > movies
    n = 0
    for (c = 0; c < CATS; ++c) {
        printf "\t\t<CATEGORY>\n\t\t\t<NAME>Category %d</NAME>\n\t\t\t<FILE_NAME>category%d.txt</FILE_NAME>\n\t\t</CATEGORY>\n", c, c > movies
        f = OUT "/category" c ".txt"
        printf "<CATEGORY_FILE>\n\t<VERSION>2.4.118</VERSION>\n\t<MENU>\n\t\t<CAPTION>All Channels</CAPTION>\n" > f
        for (m = 0; m < MENUS; ++m) {
            printf "\t\t<MENU>\n\t\t\t<CAPTION>Menu %d.%d</CAPTION>\n", c, m > f
            for (s = 0; s < STATIONS; ++s) {
                printf "\t\t\t<MENU_ITEM>\n\t\t\t\t<CAPTION>%s %06d</CAPTION>\n\t\t\t\t<URL>http://s%d.example.net/%06d.m3u8</URL>\n", (n % 4 == 0 ? "Tom &amp; Jerry TV" : "Channel"), n, n % 10, n > f
                if (ICONS != "")
                    printf "\t\t\t\t<ICON_URL>%s%d.gif</ICON_URL>\n", ICONS, n % 100 > f
                printf "\t\t\t</MENU_ITEM>\n" > f
                ++n
            }
            printf "\t\t</MENU>\n" > f
        }
        printf "\t</MENU>\n</CATEGORY_FILE>\n" > f
        close(f)
    }
    printf "\t</MOVIES>\n</MOVIES_SETTINGS>\n" > movies
}'
