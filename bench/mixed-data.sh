# Sourced by the benchmarks: make_mixed_data FOLDER fills FOLDER with ~64 MB
# of mixed files: compressible text, random bytes, many small files.
# median reads numbers, one a line, and prints their median.
make_mixed_data() {
  mkdir -p "$1/small"
  seq 1 1600000 | sed 's/$/ lorem ipsum dolor/' >"$1/text.txt"
  head -c 16000000 /dev/urandom >"$1/random.bin"
  for i in $(seq 1 400); do head -c 20000 /dev/urandom | base64 >"$1/small/f$i.txt"; done
}
now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
