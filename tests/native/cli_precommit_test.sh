#!/usr/bin/env bash
# The hooks of .pre-commit-hooks.yaml through the real pre-commit tool, on
# a scratch repository: which files they take, a book checked as a whole,
# and the fixer. Arguments: the source folder and the folder that holds the
# foliostamp-cli to test.
set -uo pipefail

source_dir=$1
tool_dir=$2
if ! command -v pre-commit >/dev/null; then
  echo "SKIPPED: pre-commit is not installed (scripts/install-deps.sh installs it)"
  exit 0
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export PATH="$tool_dir:$PATH"
export PRE_COMMIT_HOME="$scratch/cache"
export GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_NOSYSTEM=1
export GIT_AUTHOR_NAME=Test GIT_AUTHOR_EMAIL=test@example.invalid
export GIT_COMMITTER_NAME=Test GIT_COMMITTER_EMAIL=test@example.invalid
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The hook repository: this project's hook file, at a commit.
hooks=$scratch/hooks
git init -q "$hooks"
cp "$source_dir/.pre-commit-hooks.yaml" "$hooks/"
git -C "$hooks" add .pre-commit-hooks.yaml
git -C "$hooks" commit -qm hooks
rev=$(git -C "$hooks" rev-parse HEAD)

brk='<div style="page-break-after:always"></div>'

# Runs pre-commit in a fresh project with the given hook entries; the
# project's files are made by the function named second.
project=""
start_project() {
  project=$scratch/project-$1
  git init -q "$project"
  cd "$project" || exit 1
  {
    echo "repos:"
    echo "  - repo: $hooks"
    echo "    rev: $rev"
    echo "    hooks:"
    printf '%s\n' "$2"
  } >.pre-commit-config.yaml
}

# 1. Which files the check takes: every name the tool numbers, and none it
#    would refuse ("No .md file") such as CHANGELOG.markdown.
start_project names "      - id: foliostamp-check
        args: [--no-settings]"
for name in guide.md page.mdx notes.mdown wiki.mdwn; do printf 'x\n%s\ny\n' "$brk" >"$name"; done
printf 'x\n%s\ny\n' "$brk" >CHANGELOG.markdown
printf 'x\n%s\ny\n' "$brk" >notes.txt
git add -A
output=$(pre-commit run --all-files 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "check on stale files exited with $status: $output"
for name in guide.md page.mdx notes.mdown wiki.mdwn; do
  case $output in *"$name: page numbers are out of date"*) ;; *) fail "check did not judge $name: $output" ;; esac
done
case $output in *CHANGELOG* | *notes.txt* | *"No .md file"*) fail "check was given a file it cannot take: $output" ;; esac
foliostamp-cli execute --no-settings guide.md page.mdx notes.mdown wiki.mdwn >/dev/null
rm -f guide.bak page.bak notes.bak wiki.bak
git add -A
output=$(pre-commit run --all-files 2>&1) || fail "check on numbered files failed: $output"

# 2. A book, judged as a whole even when only one chapter is passed.
start_project book "      - id: foliostamp-check
        pass_filenames: false
        args: [--no-settings, --continue, ch1.md, ch2.md]"
printf '# One\n%s\nx\n' "$brk" >ch1.md
printf '# Two\n' >ch2.md
foliostamp-cli execute --no-settings --continue ch1.md ch2.md >/dev/null
rm -f ch1.bak ch2.bak
git add -A
output=$(pre-commit run --files ch2.md 2>&1) || fail "a numbered book failed its check: $output"
printf '# Two\n%s\nmore\n' "$brk" >>ch2.md
git add -A
output=$(pre-commit run --files ch2.md 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "a book grown by a page passed its check: $output"
case $output in *"ch1.md: page numbers are out of date"*) ;; *) fail "the book's first chapter was not judged: $output" ;; esac

# 3. The fixer renumbers, stops the commit once, then lets it pass, and
#    leaves no backup beside the files (git holds the original).
start_project fixer "      - id: foliostamp-execute
        args: [--no-settings]"
printf 'x\n%s\ny\n' "$brk" >doc.md
printf 'x\n%s\ny\n' "$brk" >CHANGELOG.markdown
git add -A
output=$(pre-commit run --all-files 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "the fixer on a stale file exited with $status: $output"
expected=$(printf 'x\n%s\ny\n' "$brk" | foliostamp-cli execute --no-settings -o - - 2>/dev/null)
[ "$(cat doc.md)" = "$expected" ] || fail "the fixer wrote: $(cat doc.md)"
[ "$(cat CHANGELOG.markdown)" = "x
$brk
y" ] || fail "the fixer changed CHANGELOG.markdown"
[ ! -e doc.bak ] || fail "the fixer left doc.bak"
git add doc.md
output=$(pre-commit run --all-files 2>&1) || fail "the fixer changed a numbered file: $output"

if [ "$failures" -gt 0 ]; then
  echo "$failures failures"
  exit 1
fi
echo "PASSED: the hooks through pre-commit $(pre-commit --version | cut -d' ' -f2)"
