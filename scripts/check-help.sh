#!/usr/bin/env bash
# Checks the help documents in help/: all six are there, each is valid UTF-8 and says so,
# each has exactly the section anchors of the English one, every in-page link lands on an
# anchor, and no section is empty. The English document is the master the others follow.
set -euo pipefail
cd "$(dirname "$0")/.."

master=help/Keybirdenglish.hlp
docs=(help/Keybirdenglish.hlp help/Keybirdfrench.hlp help/Keybirddeutsch.hlp
      help/KeybirdItalian.hlp help/KeybirdPortugues.hlp help/KeybirdSpanish.hlp)
status=0

complain() {
    echo "check-help: $*" >&2
    status=1
}

# The anchors of a document, one per line, sorted: <a name="..."> and id="...".
anchors() {
    { grep -o -E '(name|id)="[^"]+"' "$1" || true; } | sed -E 's/^(name|id)="(.*)"$/\2/' | sort
}

[[ -f $master ]] || { echo "check-help: $master is missing" >&2; exit 1; }
master_anchors=$(anchors "$master")

for doc in "${docs[@]}"; do
    if [[ ! -f $doc ]]; then
        complain "$doc is missing"
        continue
    fi
    if ! iconv -f UTF-8 -t UTF-8 "$doc" >/dev/null 2>&1; then
        complain "$doc is not valid UTF-8"
        continue
    fi
    grep -q -i '<meta charset="utf-8">' "$doc" || complain "$doc lacks <meta charset=\"utf-8\">"

    doc_anchors=$(anchors "$doc")
    dupes=$(uniq -d <<<"$doc_anchors")
    [[ -z $dupes ]] || complain "$doc names an anchor twice: $(tr '\n' ' ' <<<"$dupes")"
    if [[ $doc_anchors != "$master_anchors" ]]; then
        complain "$doc has other section anchors than $master:"
        diff <(echo "$master_anchors") <(echo "$doc_anchors") | grep '^[<>]' >&2 || true
    fi

    # Every href="#x" must land on an anchor of the same document.
    while read -r target; do
        [[ -z $target ]] && continue
        grep -q -x -F "$target" <<<"$doc_anchors" || complain "$doc links to #$target, which it lacks"
    done < <(grep -o 'href="#[^"]*"' "$doc" | sed 's/^href="#//; s/"$//' | sort -u)

    # A section runs from its <h2> to the next <h2> or the end of the body; once the tags
    # are gone, something readable must be left.
    perl -0777 -ne '
        s/.*?<body[^>]*>//s; s/<\/body>.*//s;
        my @parts = split /(?=<h2[\s>])/i;
        shift @parts unless $parts[0] =~ /^<h2/i;
        my $bad = 0;
        for my $part (@parts) {
            my ($title) = $part =~ /<h2[^>]*>(.*?)<\/h2>/is;
            (my $name = $title // "?") =~ s/<[^>]*>//g;
            my $body = $part;
            $body =~ s/^.*?<\/h2>//s;
            $body =~ s/<[^>]*>//g;
            $body =~ s/&[a-z]+;|&#\d+;/x/gi;
            if ($body !~ /\S/) { print STDERR "check-help: $ARGV: section \"$name\" is empty\n"; $bad = 1; }
        }
        if (!@parts) { print STDERR "check-help: $ARGV has no sections\n"; $bad = 1; }
        exit $bad;
    ' "$doc" || status=1
done

if [[ $status -eq 0 ]]; then
    echo "check-help: ${#docs[@]} help documents, $(wc -l <<<"$master_anchors") anchors each: OK"
fi
exit $status
