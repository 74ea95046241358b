#!/bin/bash
# The window program answers its command line in a terminal with no display
# at all: the exit code and the first line each invocation prints.
set -u
program=$1 version=$2
failed=0
check() {  # expected exit code, expected first line of stdout+stderr, arguments...
    local code=$1 first=$2
    shift 2
    local output status
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" 2>&1)
    status=$?
    if [[ $status != "$code" || ${output%%$'\n'*} != "$first" ]]; then
        echo "quillmarsh $*: exit $status, first line: ${output%%$'\n'*}" >&2
        echo "  expected exit $code, first line: $first" >&2
        failed=1
    fi
}
check 0 "用法：quillmarsh [--screenshot 文件.png [--tab 次数]]" --help
check 0 "用法：quillmarsh [--screenshot 文件.png [--tab 次数]]" --he --version
check 0 "quillmarsh $version" --version
check 2 "quillmarsh: 未知的选项：--bogus" --bogus
check 2 "quillmarsh: 未知的选项：--tabs；您是否想用 --tab？" --tabs 2
check 2 "quillmarsh: 选项 --screenshot 缺少取值" --screenshot
check 2 "quillmarsh: --tab 需要一个非负整数：x" --screenshot=a.png --tab=x
check 2 "quillmarsh: --tab 只能与 --screenshot 同用" --tab 2
check 2 "quillmarsh: 多余的参数：extra" -- extra
exit $failed
