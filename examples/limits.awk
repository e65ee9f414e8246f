# Refuses a link whose areas overflow the machine, from the linker's map: the code and constant
# data must lie in the fixed ROM, fixed_start to fixed_end, the variables from ram_start to
# ram_end (the stack above), and each bank's area _CODE_n within its window, (n << 16) | 0x8000
# to | 0xBFFF.
#   awk -v fixed_start=0 -v fixed_end=0x8000 -v ram_start=0xC000 -v ram_end=0xDEF0 \
#       -f limits.awk program.map
function num(h,   i, n) {
    sub(/^0[xX]/, "", h)
    n = 0
    for (i = 1; i <= length(h); i++) n = n * 16 + index("0123456789ABCDEF", toupper(substr(h, i, 1))) - 1
    return n
}
function refuse(what) {
    printf "%s: %s\n", FILENAME, what > "/dev/stderr"
    failed = 1
}
# Area lines: name, start, size, "=", size in decimal, "bytes".
$1 ~ /^_/ && $4 == "=" && $2 ~ /^[0-9A-Fa-f]+$/ && $3 ~ /^[0-9A-Fa-f]+$/ {
    name = $1; start = num($2); size = num($3); end = start + size
    # Empty areas, and the start-up code's absolute one, placed where its .org says.
    if (size == 0 || name ~ /^_HEADER/) next
    if (name ~ /^_CODE_[0-9]+$/) {
        bank = substr(name, 7) + 0
        low = bank * 65536 + 32768
        if (start < low || end > low + 16384)
            refuse(sprintf("%s: %d bytes from 0x%X, beyond its bank's window (0x%X to 0x%X)", name, size, start, low, low + 16383))
    } else if (start < 32768) {
        if (start < num(fixed_start) || end > num(fixed_end))
            refuse(sprintf("%s: %d bytes from 0x%X, beyond the fixed ROM (%s to %s)", name, size, start, fixed_start, fixed_end))
    } else if (start >= 49152) {
        if (start < num(ram_start) || end > num(ram_end))
            refuse(sprintf("%s: %d bytes from 0x%X, beyond RAM (%s to %s)", name, size, start, ram_start, ram_end))
    } else {
        refuse(sprintf("%s: %d bytes from 0x%X, in the bank window, which is no bank's", name, size, start))
    }
}
END { exit failed }
