# Refuses a link whose areas overflow the machine, from the linker's map: the code and constant
# data must end by 0x8000 (the fixed ROM), the variables by ram_end (RAM from 0xC000, the stack
# above), and each bank's area _CODE_n within its window, (n << 16) | 0x8000 to | 0xBFFF.
#   awk -v ram_end=0xFF00 -f limits.awk program.map
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
    if (size == 0) next
    if (name ~ /^_CODE_[0-9]+$/) {
        bank = substr(name, 7) + 0
        low = bank * 65536 + 32768
        if (start < low || end > low + 16384)
            refuse(sprintf("%s: %d bytes from 0x%X, beyond its bank's window (0x%X to 0x%X)", name, size, start, low, low + 16383))
    } else if (start < 32768) {
        if (end > 32768) refuse(sprintf("%s: %d bytes from 0x%X, past the end of the fixed ROM at 0x8000", name, size, start))
    } else if (start >= 49152) {
        if (end > num(ram_end)) refuse(sprintf("%s: %d bytes from 0x%X, past the end of RAM at %s", name, size, start, ram_end))
    } else {
        refuse(sprintf("%s: %d bytes from 0x%X, in the bank window, which is no bank's", name, size, start))
    }
}
END { exit failed }
