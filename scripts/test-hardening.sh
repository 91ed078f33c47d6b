#!/usr/bin/env bash
# The hardening part of the suite: the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the sensor link and event tests under ThreadSanitizer, and the
# fuzzers (clang's libFuzzer) for a bounded time each.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

echo "-- address + undefined"
"$root/scripts/build.sh" "$root/build-asan" -DHALVENT_SANITIZE=address,undefined \
    -DHALVENT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
# Mesa's software driver leaks from a module it unloads, which no suppression can name, so the
# leak check runs on the tests that never open an OpenGL context; the rest run without it.
no_gl='^(SessionRecordTest|HalventReport|ResonanceResult|ReportDrawing|GuiWidgets|PointerInput|Settings|SensorDecoding|Brix|RecordingReader|Replay|Pacer|Menu|Presets|VolumeWords|VolumeSteppers|RateLabel|Cp1251|Ticks|MessageBoxes|BitmapReader|TgaReader)\.'
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
    ctest --test-dir "$root/build-asan" --output-on-failure -j2 -R "$no_gl"
# The soak test measures time and memory, which the sanitizers distort (freed memory is held
# in quarantine); it runs in the plain build only.
ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" \
    ctest --test-dir "$root/build-asan" --output-on-failure -j2 -E "$no_gl|^Soak\."

echo "-- thread (sensor link and events)"
cmake -S "$root" -B "$root/build-tsan" -G Ninja -DHALVENT_SANITIZE=thread -DHALVENT_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DHALVENT_WERROR=ON >/dev/null
ninja -C "$root/build-tsan" brix_test shell_test sensor_state_test replay_test \
    ble_source_test
ctest --test-dir "$root/build-tsan" --output-on-failure -R '^(Brix|Shell|SensorDecoding|Replay|BleSource)\.'

echo "-- fuzzers"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DHALVENT_BENCH=OFF \
    -DHALVENT_FUZZ=ON -DHALVENT_WERROR=ON >/dev/null
ninja -C "$root/build-fuzz" dib_reader_fuzz tga_reader_fuzz sensor_decoder_fuzz settings_reader_fuzz \
    recording_reader_fuzz hr_measurement_fuzz record_reader_fuzz pmd_frame_fuzz resonance_result_fuzz
ctest --test-dir "$root/build-fuzz" --output-on-failure -L fuzz
