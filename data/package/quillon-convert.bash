# bash completion for quillon-convert
# The commands and their options are read from the program's own --help, so
# that commands added later complete without a change here.

_quillon_convert()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local help commands synopsis command= i
    help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return
    # One usage line per command: "Usage:|or: quillon-convert [--program-dir DIR] NAME ARGUMENTS..."
    help=$(sed -n 's/^ *\(Usage\|or\): *[^ ]* \[--program-dir DIR\] //p' <<<"$help")
    commands=$(cut -d ' ' -f 1 <<<"$help")

    # Every option but these flags takes a value (--to takes one or more).
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --help | --version | --preview | --json | --all) ;;
            --*) ((i++)) ;;
            *) [[ -z $command ]] && command=${COMP_WORDS[i]} ;;
        esac
    done
    synopsis=$(sed -n "s/^$command //p" <<<"$help")

    case $prev in
        --program-dir)
            compopt -o filenames
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --*)
            [[ $prev == --help || $prev == --version || $prev == --preview || $prev == --json || $prev == --all ]] || {
                # Choices written as "--type 10|11" in the synopsis
                local value
                value=$(grep -o -- "$prev [^] ]*" <<<"$synopsis" | head -n 1)
                value=${value#* }
                [[ $value == *'|'* ]] && COMPREPLY=($(compgen -W "${value//|/ }" -- "$cur"))
                return
            } ;;
    esac

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--program-dir --help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--program-dir $(grep -o -- '--[a-z-]*' <<<"$synopsis")" -- "$cur"))
    else
        compopt -o filenames
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
} &&
    complete -F _quillon_convert quillon-convert
