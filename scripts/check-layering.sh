#!/usr/bin/env bash
# The Qt-free layers stay Qt-free: core/, the engine and synthesis in audio/, and the
# keyer and its devices in keying/ include nothing from ui/ or app/ and no Qt header.
# Only a subsystem's panels and dialogs (and the PortAudio back end, which posts its
# notices through Qt) may. Prints each offending include and fails on any.
set -euo pipefail
cd "$(dirname "$0")/.."

allowed='^(audio/(sound_card_panel|sound_dialogs|portaudio_wave_out|sound_devices|wave_out_notifier)|keying/[a-z_]+_panel)\.(h|cpp)$'
bad=0
while IFS= read -r file; do
  [[ "$file" =~ $allowed ]] && continue
  if hits=$(grep -nE '^\s*#\s*include\s*[<"](ui/|app/|Q[A-Za-z]*[>/])' "$file"); then
    printf '%s: %s\n' "$file" "$hits"
    bad=1
  fi
done < <(git ls-files 'core/*.h' 'core/*.cpp' 'audio/*.h' 'audio/*.cpp' 'keying/*.h' 'keying/*.cpp' 'receive/*.h' 'receive/*.cpp')
if [ "$bad" -ne 0 ]; then
  echo "check-layering: the files above reach into ui/, app/ or Qt from a Qt-free layer" >&2
  exit 1
fi
echo "check-layering: the Qt-free layers include no ui/, app/ or Qt header"
