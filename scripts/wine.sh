#!/usr/bin/env bash
# Runs a Windows program under Wine, as on a Chinese Windows: code page 936,
# no X display needed (the null graphics driver), fonts that show Chinese.
#
#   scripts/wine.sh PROGRAM.exe [ARGUMENTS...]
#
# One Wine prefix per machine (QM_WINEPREFIX, by default under ~/.cache),
# made on first use under a lock so that parallel runs wait for it instead of
# making it twice, and reused afterwards. The program's exit status is this
# script's.
#
# QM_WINE_GRAPHICS=x11 uses a prefix of its own (wine-x11) whose windows
# show on the X display in $DISPLAY: only the screenshot needs one.
set -euo pipefail

graphics=${QM_WINE_GRAPHICS:-null}
case $graphics in
  null) default_prefix=wine ;;
  x11) default_prefix=wine-x11 ;;
  *) echo "wine.sh: QM_WINE_GRAPHICS is null or x11, not $graphics" >&2; exit 2 ;;
esac
prefix=${QM_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmarsh/$default_prefix}
export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
# No Mono or Gecko: nothing here needs them, and asking for them would hang
# a prefix made without a display.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree=;mshtml=}

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  echo "wine.sh: the zh_CN.UTF-8 locale is missing (scripts/install-deps.sh generates it)" >&2
  exit 125
fi

make_prefix() {
  rm -rf "$prefix" && mkdir -p "$prefix" && wineboot --init || return 1
  local reg='HKCU\Software\Wine'
  wine reg add "$reg\\Drivers" /v Graphics /d "$graphics" /f || return 1
  # Message boxes and dialogs ask for SimSun on a Chinese system.
  for font in SimSun NSimSun 宋体 新宋体 'MS Shell Dlg' 'MS Shell Dlg 2'; do
    wine reg add "$reg\\Fonts\\Replacements" /v "$font" /d 'WenQuanYi Micro Hei' /f || return 1
  done
  # The title bar's buttons are drawn with Wine's Marlett font (fonts-wine),
  # which this Wine does not find where Debian puts it.
  if [[ -f /usr/share/wine/fonts/marlett.ttf ]]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" || return 1
  fi
  wineserver --wait && touch "$prefix/.quillmarsh-ready"
}

if [[ ! -e $prefix/.quillmarsh-ready ]]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    # The lock's descriptor stays out of Wine: a wineserver left running
    # would otherwise hold the lock.
    if [[ ! -e $prefix/.quillmarsh-ready ]] && ! make_prefix >"$prefix.log" 2>&1 9>&-; then
      echo "wine.sh: the Wine prefix $prefix could not be made; see $prefix.log" >&2
      exit 1
    fi
  ) 9>"$prefix.lock"
fi

exec wine "$@"
