#!/usr/bin/env bash
# Prints the weight of the tree in non-blank lines of C++ and script files:
#   loc product=<n> sim=<n> tools=<n> tests=<n> test_share=<tests / all>
# A file pair in a product folder that nothing outside tests/ and tools/ includes is a test-only
# helper and counts as tests.
set -euo pipefail
cd "$(dirname "$0")/.."

product_dirs=(platform resources core device camera_image calibration tracking settings update setup_ui shell)

lines() { if [ $# -eq 0 ]; then echo 0; else cat "$@" | grep -cv '^[[:space:]]*$' || true; fi; }
files_under() { git ls-files -- "$@" | grep -E '\.(cpp|h|c|cc|hpp|sh|py|cmake)$|CMakeLists\.txt$' || true; }

mapfile -t product_all < <(files_under "${product_dirs[@]}")
# Everything the program and the simulator are built from, resource scripts included.
mapfile -t outside_tests < <(git ls-files -- "${product_dirs[@]}" sim)

product=()
test_only=()
for file in "${product_all[@]}"; do
    stem="${file%.*}"
    header="${stem}.h"
    if [[ "$file" =~ \.(cpp|h)$ ]] && [ -f "$header" ]; then
        users=$(grep -l -F "#include \"${header}\"" "${outside_tests[@]}" 2>/dev/null |
                grep -v -x -e "${stem}.cpp" -e "${stem}.h" | head -n 1 || true)
        if [ -z "$users" ]; then
            test_only+=("$file")
            continue
        fi
    fi
    product+=("$file")
done

mapfile -t sim < <(files_under sim)
mapfile -t tools < <(files_under tools)
mapfile -t tests < <(files_under tests)

n_product=$(lines "${product[@]}")
n_sim=$(lines "${sim[@]}")
n_tools=$(lines "${tools[@]}")
n_tests=$(( $(lines "${tests[@]}") + $(lines "${test_only[@]}") ))
total=$(( n_product + n_sim + n_tools + n_tests ))

if [ "${1:-}" = "-v" ]; then
    printf 'test-only in product folders: %s\n' "${test_only[*]:-none}"
fi
awk -v p="$n_product" -v s="$n_sim" -v t="$n_tools" -v x="$n_tests" -v all="$total" \
    'BEGIN { printf "loc product=%d sim=%d tools=%d tests=%d test_share=%.3f\n", p, s, t, x, x / all }'
