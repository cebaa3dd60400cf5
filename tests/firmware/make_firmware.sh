#!/usr/bin/env bash
# Makes firmware files the way a firmware developer's tools write them, and
# what each must come to on the device, for the tests and benchmarks.
#
#   make_firmware.sh OUT_DIR
#
# The images are pseudo-random bytes from a fixed seed, so every run makes the
# same files. Made in OUT_DIR:
#   objcopy.hex   objcopy -I binary -O ihex of 4096 bytes: 256 records of 16
#                 data bytes from address 0, lines ending in CR LF, then EOF
#   srec16.hex    srec_cat of 2000 bytes at 0x10000 (Debian srecord), records of
#   srec32.hex    16, 32 and 128 data bytes after an extended linear address
#   srec128.hex   record, lines ending in LF, then EOF
#   big64k.hex    objcopy -I binary -O ihex of 65536 bytes: 4096 records of 16
# and for each NAME.hex:
#   NAME.bin      objcopy -I ihex -O binary of it: the bytes the boot loader
#                 must hold, from the lowest address loaded
#   NAME.records  its record lines without their line ends, as the boot loader
#                 receives them
#   NAME.rx       every byte an upload of it writes to the port: the interrupt,
#                 "reset", SYN, the identifier, each record ended by one CR
set -eu
out=$1
mkdir -p "$out"
cd "$out"

# NAME SIZE SEED ...: SIZE bytes of a linear congruential generator seeded with SEED, into NAME.
python3 -c '
import sys
args = sys.argv[1:]
for name, n, x in zip(args[0::3], map(int, args[1::3]), map(int, args[2::3])):
    b = bytearray()
    for _ in range(n):
        x = (1103515245 * x + 12345) % 2**31
        b.append(x >> 16 & 0xFF)
    open(name, "wb").write(b)' data4k.bin 4096 11 data2000.bin 2000 29 data64k.bin 65536 47

objcopy -I binary -O ihex data4k.bin objcopy.hex
objcopy -I binary -O ihex data64k.bin big64k.hex
for size in 16 32 128; do
  srec_cat data2000.bin -binary -offset 0x10000 -o "srec$size.hex" -intel -obs="$size"
done

for hex in objcopy.hex srec16.hex srec32.hex srec128.hex big64k.hex; do
  name=${hex%.hex}
  objcopy -I ihex -O binary "$hex" "$name.bin"
  tr -d '\r' < "$hex" | grep '^:' > "$name.records"
  { printf '\003\nreset\n\026DeReDi1.0'; awk '{ printf "%s\r", $0 }' "$name.records"; } > "$name.rx"
done
rm -f data4k.bin data2000.bin data64k.bin
