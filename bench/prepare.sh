# Sourced by bench/run and bench/viewer: picks the Release build tree,
# builds the given targets there and generates the sample databases of
# $scales (comma-separated) once per version of the generator and schema,
# in <build>/bench-data. Needs $root; sets build, cli and data.
#
#   prepare_bench WHO TARGET...   (WHO names the caller in errors)
prepare_bench() {
    local who=$1
    shift
    build=${BATCHPLANT_BUILD_DIR:-}
    if [[ -z $build ]]; then
        build=$root/build
        if [[ -f $build/CMakeCache.txt ]] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
            build=$root/build-release
        fi
    fi
    [[ $build = /* ]] || build=$root/$build

    jobs=$(nproc 2>/dev/null || echo 2)
    if [[ ! -f $build/CMakeCache.txt ]]; then
        cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >&2
    elif ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
        echo "bench/$who: $build is not a Release tree; set BATCHPLANT_BUILD_DIR to another directory" >&2
        exit 2
    fi
    cmake --build "$build" -j"$jobs" --target "$@" >&2

    cli=$build/apps/batchplant
    bench=$build/bench/batchplant_bench
    data=$build/bench-data
    mkdir -p "$data"
    # Samples written by an older generator or schema are written again: the
    # figures are only comparable over the same files.
    local stamp
    stamp=$(cat "$root"/src/sample/* "$root"/schema/*.sql | sha1sum | cut -d' ' -f1)
    if [[ $(cat "$data/generator" 2>/dev/null) != "$stamp" ]]; then
        rm -f "$data"/sample-*.db
        echo "$stamp" >"$data/generator"
    fi
    IFS=, read -r -a scale_list <<<"$scales"
    for scale in "${scale_list[@]}"; do
        file=$data/sample-$scale.db
        if [[ ! -f $file ]]; then
            echo "Generating the sample at scale $scale …" >&2
            rm -f "$file.part"
            "$cli" sample "$file.part" --scale "$scale" >&2
            mv "$file.part" "$file"
        fi
    done
}
