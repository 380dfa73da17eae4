# Sourced by the scripts that start Wine programs: sets WINE64, the command that starts one, and
# wine_randomised, 1 where that command could not turn address-space randomisation off.
#
# Wine runs without address-space randomisation, and so does every process it starts (the setting
# is inherited). Debian's wine64 has no preloader to reserve Windows' fixed addresses first, and
# the kernel puts the program break anywhere up to 1 GB above the loader, which is linked at
# 0x7d000000: about once in 7,000 starts the young heap covers the shared user data page at
# 0x7ffe0000, and Wine exits with code 1 before the program runs, saying why only on its err
# channel. A child that goes that way fails CreateProcess with error 1359. Without randomisation
# the break starts 48 MB below that page.
#
# Some containers refuse that personality (Docker's default seccomp profile does: setarch then
# fails before Wine starts). There Wine starts as it is, and the rare start-up death is back.
if setarch -R true >/dev/null 2>&1; then
    WINE64=(setarch -R /usr/lib/wine/wine64)
    wine_randomised=0
else
    WINE64=(/usr/lib/wine/wine64)
    wine_randomised=1
fi
