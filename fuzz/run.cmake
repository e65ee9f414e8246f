# One fuzz target's bounded run, as a test of the fuzz preset (cmake -P, from fuzz/CMakeLists.txt):
# from a fresh corpus folder beside the target's seeds, which stay as they are, for SECONDS. Fails
# on any finding (a crash, a failed check, a sanitizer report, a leak, a time-out, running out of
# memory), whose input stays in FINDINGS, and names the command that replays it. OPTIONS, when the
# file exists, holds more of libFuzzer's options for this target, one a line (# starts a comment):
# a larger -max_len for a target whose inputs are large.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${FINDINGS})
set(extra "")
if(EXISTS ${OPTIONS})
    file(STRINGS ${OPTIONS} extra REGEX "^[^#]")
endif()
# Leaks that are a library's own, not ours (see the file).
set(ENV{LSAN_OPTIONS} "suppressions=${SUPPRESSIONS}:print_suppressions=0")
execute_process(COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
    ${extra} -dict=${DICT} -artifact_prefix=${FINDINGS}/ -print_final_stats=1 ${WORK} ${SEEDS}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(GLOB found ${FINDINGS}/*)
    foreach(input ${found})
        message("replay it: LSAN_OPTIONS=$ENV{LSAN_OPTIONS} ${FUZZER} ${extra} ${input}")
    endforeach()
    message(FATAL_ERROR "a finding (status ${status})")
endif()
