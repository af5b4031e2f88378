# Sourced by the package tests: make_package GENERATOR BUILD_DIR FILE runs cpack with that
# generator in the build folder, writing into BUILD_DIR/package, and exits the test (status 1)
# with cpack's output unless FILE (a name in that folder) is there afterwards.
make_package() {
  local generator="$1" build="$2" file="$3"
  local folder="$build/package"
  mkdir -p "$folder"
  rm -f "$folder/$file"
  if ! (cd "$build" && cpack -G "$generator" -B "$folder" >"$folder/$generator.log" 2>&1) || [ ! -f "$folder/$file" ]; then
    cat "$folder/$generator.log"
    echo "FAIL: cpack -G $generator wrote no $file; the folder holds: $(ls "$folder" | tr '\n' ' ')"
    exit 1
  fi
  echo "package: $file, $(stat -c %s "$folder/$file") bytes"
}
