#!/usr/bin/env bash
# Writes the two sample firmware files of this folder: an application image and
# an EEPROM image as Intel HEX, 16 data bytes per record, made up by us for
# trying Tarnwick against the simulated target (tarnwick-sim). They are data,
# not a program for any real chip.
#
#   bash samples/make-samples.sh        (run again: the same bytes come out)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

# hex_records BYTES...: one data record per 16 bytes from address 0, then the
# end-of-file record. Each record: ":" count address type data checksum, the
# checksum making the sum of all its bytes 0 modulo 256.
hex_records() {
  awk 'BEGIN {
    n = split(ARGV[1], bytes, " ");
    for (start = 0; start < n; start += 16) {
      count = (n - start < 16) ? n - start : 16;
      sum = count + int(start / 256) + start % 256;
      line = sprintf(":%02X%04X00", count, start);
      for (i = 1; i <= count; i++) {
        b = bytes[start + i] + 0;
        line = line sprintf("%02X", b);
        sum += b;
      }
      printf "%s%02X\n", line, (256 - sum % 256) % 256;
    }
    print ":00000001FF";
  }' "$*"
}

ascii_bytes() {
  local text="$1" i
  for ((i = 0; i < ${#text}; i++)); do printf '%d ' "'${text:i:1}"; done
}

# The application: 1 KiB. A banner at the start, then a pattern that makes every
# record different, so a line sent twice or out of order shows in the image.
application=$(ascii_bytes "Tarnwick sample application for the simulated target. ")
count=$(wc -w <<<"$application")
for ((i = count; i < 1024; i++)); do application+="$(( (i * 37 + 11) % 256 )) "; done
hex_records $application >application.hex

# The EEPROM: 64 bytes. A banner, then counting bytes.
eeprom=$(ascii_bytes "Tarnwick sample EEPROM data")
count=$(wc -w <<<"$eeprom")
for ((i = count; i < 64; i++)); do eeprom+="$(( i )) "; done
hex_records $eeprom >eeprom.eep

echo "wrote samples/application.hex ($(wc -l <application.hex) lines) and samples/eeprom.eep ($(wc -l <eeprom.eep) lines)"
