# The game reads files that anyone can hand it (pictures, replays), so every
# build a player gets is hardened as Debian hardens its packages: the flags
# `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives, plus the
# control-flow and stack-clash protection newer Debian releases add. Debug
# builds go without (fortified functions need the optimiser), and so do the
# sanitizer and fuzz builds, whose own checks cover the same ground and
# whose interceptors the fortified functions would step around.
# -ffp-contract=off stays as it is: none of these flags touches arithmetic.

if(NOT VARNHOLD_SANITIZE AND NOT VARNHOLD_FUZZ)
  set(varnhold_hardened $<NOT:$<CONFIG:Debug>>)
  # Position-independent as a program (-fPIE, not a library's -fPIC): every
  # library here goes into an executable only.
  add_compile_options(
    $<${varnhold_hardened}:-fPIE>
    $<${varnhold_hardened}:-fstack-protector-strong>
    $<${varnhold_hardened}:-fstack-clash-protection>
    $<${varnhold_hardened}:-fcf-protection>
    $<${varnhold_hardened}:-Wformat>
    $<${varnhold_hardened}:-Werror=format-security>)
  # Undefined first: a compiler that fortifies by itself (Ubuntu's gcc)
  # would warn of a second definition.
  add_compile_options($<${varnhold_hardened}:-U_FORTIFY_SOURCE> $<${varnhold_hardened}:-D_FORTIFY_SOURCE=2>)
  add_link_options(
    $<${varnhold_hardened}:-pie>
    $<${varnhold_hardened}:LINKER:-z,relro>
    $<${varnhold_hardened}:LINKER:-z,now>)
  # The linker marks a program as protected only when every object in it
  # says so, and Debian 12's C start files (crt1, crti, crtn) say nothing:
  # the mark would be lost although every function of ours starts with its
  # landing pad. It is set outright; newer start files carry it themselves.
  # (Their _init has no landing pad, which would matter only where the
  # kernel enforced indirect-branch tracking in user programs; Linux does
  # not, and shadow stacks, which it does, ask nothing of _init.)
  add_link_options(
    $<${varnhold_hardened}:LINKER:-z,ibt>
    $<${varnhold_hardened}:LINKER:-z,shstk>)
endif()
