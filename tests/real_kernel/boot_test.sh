#!/usr/bin/env bash
# Runs the tool on sysfs as a real kernel writes it: Debian's own kernel,
# booted under QEMU (TCG) with the machine's topology, an initramfs of
# busybox and the tool. The guest runs the tool as each step of the machine
# says, copies the files the tool reads, and powers off; the test compares the
# tool's reports with the ones worked out below from the grouping rules.
#
#   boot_test.sh MACHINE KERNELS TOOL [CAPTURE]
#
# KERNELS is the folder fetch_kernels.sh filled; TOOL the static tool for the
# machine's architecture. With CAPTURE, the trees the kernel wrote at boot and
# after the last step are written there as MACHINE.boot and MACHINE.after.
set -u
machine=$1 kernels=$2 tool=$3 capture=${4:-}
source "$(dirname "$0")/../test_helpers.sh"

# QEMU's x86 default model is an AMD family, which shows Linux no SMT
# siblings; an Intel vendor string does. Without KVM these options keep a
# guest of 80 CPUs from spending its time calibrating and watching timers.
x86_qemu=(qemu-system-x86_64 -cpu qemu64,vendor=GenuineIntel -m 1G)
x86_append="console=ttyS0 tsc=reliable no_timer_check nowatchdog mitigations=off"
head="IsWindowsServer: 0${nl}Active processor count across all processor groups: "
steps=()
case $machine in
power_node_0_offline)
    # A POWER partition whose node 0 has neither CPUs nor memory: Linux keeps
    # node 0 offline, and every distance row starts with a blank. QEMU 7.2
    # refuses threads on pseries under TCG; one-thread cores give the same rows.
    arch=ppc64el
    qemu=(qemu-system-ppc64 -M pseries -m 1G -smp 72,cores=72,threads=1
          -object memory-backend-ram,id=m0,size=512M -object memory-backend-ram,id=m1,size=512M
          -numa node,nodeid=0 -numa node,nodeid=1,cpus=0-39,memdev=m0 -numa node,nodeid=2,cpus=40-71,memdev=m1
          -numa dist,src=0,dst=1,val=20 -numa dist,src=0,dst=2,val=20 -numa dist,src=1,dst=2,val=20)
    append="console=hvc0"
    # Node 1 holds CPUs 0-39 and node 2 CPUs 40-71: a group each.
    steps=("all|procgroups|${head}72${nl}Active processors per group: 40,32,"
           "cpu0|taskset -c 0 procgroups|${head}72${nl}Active processors per group: 40,"
           "cpu40|taskset -c 40 procgroups|${head}72${nl}Active processors per group: 40,"
           "cpu5_offline|offline 5; procgroups|${head}71${nl}Active processors per group: 39,32,")
    ;;
power_boot_cpu_in_node_1)
    # The boot processor (CPU 0) in node 1: node 0 holds CPUs 20-79. Windows
    # gives the boot processor's group number 0; the other group follows.
    arch=ppc64el
    qemu=(qemu-system-ppc64 -M pseries -m 1G -smp 80,cores=80,threads=1
          -object memory-backend-ram,id=m0,size=512M -object memory-backend-ram,id=m1,size=512M
          -numa node,nodeid=0,cpus=20-79,memdev=m0 -numa node,nodeid=1,cpus=0-19,memdev=m1)
    append="console=hvc0"
    steps=("all|procgroups|${head}80${nl}Active processors per group: 20,60,"
           "cpu0|taskset -c 0 procgroups|${head}80${nl}Active processors per group: 20,")
    ;;
two_sockets_of_two_dies)
    # 80 CPUs in one node: two sockets of two dies of ten two-thread cores,
    # numbered in that order. Cores are never split: with CPU 3 offline, core
    # 2-3 holds one CPU, and the core of 64 and 65 no longer fits the first
    # group. A process in group 1 alone is shown the count of group 0.
    arch=amd64
    qemu=("${x86_qemu[@]}" -smp 80,sockets=2,dies=2,cores=10,threads=2)
    steps=("all|procgroups|${head}80${nl}Active processors per group: 64,16,"
           "cpu0|taskset -c 0 procgroups|${head}80${nl}Active processors per group: 64,"
           "cpu0_1|taskset -c 0,1 procgroups|${head}80${nl}Active processors per group: 64,"
           "cpu3_offline|offline 3; procgroups|${head}79${nl}Active processors per group: 63,16,"
           "cpu64_65|taskset -c 64,65 procgroups|${head}79${nl}Active processors per group: 63,"
           "smt_off|smt_off; procgroups|${head}40${nl}Active processors per group: 40,")
    ;;
four_nodes_by_distance)
    # Four nodes of 20 CPUs; nodes 0 and 1 share socket 0, nodes 2 and 3
    # socket 1. Without distances the groups would alternate (nodes 0 and 2);
    # the distances put a socket in each group.
    arch=amd64
    qemu=("${x86_qemu[@]}" -smp 80,sockets=2,cores=20,threads=2
          -object memory-backend-ram,id=m0,size=256M -object memory-backend-ram,id=m1,size=256M
          -object memory-backend-ram,id=m2,size=256M -object memory-backend-ram,id=m3,size=256M
          -numa node,nodeid=0,cpus=0-19,memdev=m0 -numa node,nodeid=1,cpus=20-39,memdev=m1
          -numa node,nodeid=2,cpus=40-59,memdev=m2 -numa node,nodeid=3,cpus=60-79,memdev=m3
          -numa dist,src=0,dst=1,val=11 -numa dist,src=2,dst=3,val=11
          -numa dist,src=0,dst=2,val=21 -numa dist,src=0,dst=3,val=21
          -numa dist,src=1,dst=2,val=21 -numa dist,src=1,dst=3,val=21)
    steps=("all|procgroups|${head}80${nl}Active processors per group: 40,40,"
           "cpu0_20|taskset -c 0,20 procgroups|${head}80${nl}Active processors per group: 40,"
           "cpu0_40|taskset -c 0,40 procgroups|${head}80${nl}Active processors per group: 40,40,"
           "smt_off|smt_off; procgroups|${head}40${nl}Active processors per group: 40,")
    ;;
memory_only_node)
    # Two nodes of 40 CPUs and, between them in QEMU's numbering, a node of
    # memory alone: x86 Linux numbers it after the nodes with CPUs, so its
    # column is the last of every distance row.
    arch=amd64
    qemu=("${x86_qemu[@]}" -smp 80,sockets=2,cores=20,threads=2
          -object memory-backend-ram,id=m0,size=384M -object memory-backend-ram,id=m1,size=384M
          -object memory-backend-ram,id=m2,size=256M
          -numa node,nodeid=0,cpus=0-39,memdev=m0 -numa node,nodeid=1,memdev=m2
          -numa node,nodeid=2,cpus=40-79,memdev=m1)
    steps=("all|procgroups|${head}80${nl}Active processors per group: 40,40,"
           "cpu0_1|taskset -c 0,1 procgroups|${head}80${nl}Active processors per group: 40,"
           "cpu79|taskset -c 79 procgroups|${head}80${nl}Active processors per group: 40,"
           "cpu40_offline|offline 40; procgroups|${head}79${nl}Active processors per group: 40,39,")
    ;;
node_of_80)
    # One socket of 40 two-thread cores and no NUMA table: Linux makes one node.
    arch=amd64
    qemu=("${x86_qemu[@]}" -smp 80,sockets=1,cores=40,threads=2)
    steps=("all|procgroups|${head}80${nl}Active processors per group: 64,16,"
           "cpu70|taskset -c 70 procgroups|${head}80${nl}Active processors per group: 64,"
           "smt_off|smt_off; procgroups|${head}40${nl}Active processors per group: 40,")
    ;;
*)
    echo "boot_test.sh: no machine $machine" >&2
    exit 2
    ;;
esac
if [ "$arch" = amd64 ]; then
    append=$x86_append
    kernel=$(echo "$kernels"/amd64/boot/vmlinuz-*)
else
    kernel=$(echo "$kernels"/ppc64el/boot/vmlinux-*)
fi
busybox=$kernels/$arch/bin/busybox
[ -f "$kernel" ] && [ -x "$busybox" ] || fail "no $arch kernel or busybox in $kernels (fetch_kernels.sh)"
command -v "${qemu[0]}" >/dev/null || fail "${qemu[0]} not found"
finish_if_failed() { [ "$failures" = 0 ] || finish "$machine"; }
finish_if_failed

# A step is LABEL|COMMAND|REPORT; the report holds line ends.
split() {
    label=${1%%|*}
    local rest=${1#*|}
    command=${rest%%|*}
    expected=${rest#*|}
}

# The guest's init: each step prints its label, the tool's report, a line end
# and its status; a capture prints every file the tool reads, one a line.
root=$scratch/root
mkdir -p "$root/bin" "$root/proc" "$root/sys"
cp "$busybox" "$root/bin/busybox"
cp "$tool" "$root/bin/procgroups"
{
    cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
cd /sys/devices/system
echo
offline() { echo 0 >"cpu/cpu$1/online"; }
smt_off() { echo off >cpu/smt/control; }
capture() {
    label=$1
    set -- cpu/online cpu/possible cpu/cpu*/online cpu/cpu*/topology/*_list cpu/cpu*/topology/*_id \
        node/online node/possible node/node*/cpulist node/node*/distance
    grep -H '' "$@" 2>/dev/null | sed 's/^/@@file /'
    grep -c '' "$@" 2>/dev/null | grep -v ':1$' | sed 's/^/@@lines /'
    echo "@@captured $label $(cat /proc/uptime)"
}
step() {
    echo "@@run $1"
    eval "$2"
    set -- $?
    echo
    echo "@@status $1"
}
capture boot
INIT
    for step in "${steps[@]}"; do
        split "$step"
        printf "step %s '%s'\n" "$label" "$command"
    done
    echo 'capture after'
    echo 'poweroff -f'
} >"$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$scratch/initramfs.gz" || fail "making the initramfs"

# TCG: no KVM here. Every boot prints early (the firmware, then the init's
# first line within seconds of a quiet machine's time), and each step again:
# a guest whose console shows nothing new for `stall` seconds is stuck, as
# one once was in the firmware on a busy machine, and is started again, once.
# A boot may take as long as its steps need, with room for a loaded machine.
stall=150
limit=$((90 + 45 * ${#steps[@]}))
boot() {
    "${qemu[@]}" -nographic -no-reboot -kernel "$kernel" -initrd "$scratch/initramfs.gz" \
        -append "$append quiet loglevel=1 panic=-1 rdinit=/init" </dev/null >"$scratch/raw" 2>"$scratch/qemu" &
    local guest=$! started=$SECONDS progress=$SECONDS size=0 now
    while kill -0 "$guest" 2>/dev/null; do
        sleep 2
        now=$(stat -c %s "$scratch/raw")
        [ "$now" != "$size" ] && size=$now progress=$SECONDS
        if [ $((SECONDS - progress)) -ge "$stall" ] || [ $((SECONDS - started)) -ge "$limit" ]; then
            kill -9 "$guest"
            wait "$guest" 2>/dev/null
            [ $((SECONDS - progress)) -ge "$stall" ] && return 2
            return 1
        fi
    done
    wait "$guest"
}
boot
if [ $? = 2 ]; then
    last=$(tr -d '\r' <"$scratch/raw" | grep -v '^$' | tail -n 1)
    echo "the guest showed nothing new for ${stall} s after \"${last:0:120}\": stopped and started again"
    boot
fi
tr -d '\r' <"$scratch/raw" >"$scratch/console"
grep -q '^@@captured after ' "$scratch/console" ||
    { cat "$scratch/console" "$scratch/qemu"; fail "the guest did not finish within ${limit} s"; }
finish_if_failed

# A step's report: the lines between its label and its status, less the line end the step added.
report_of() {
    awk -v label="$1" '$0 == "@@run " label { on = 1; next } on && /^@@status / { exit } on { print }' "$scratch/console" |
        head -c -1
}
for step in "${steps[@]}"; do
    split "$step"
    status=$(sed -n "/^@@run $label\$/,/^@@status /s/^@@status //p" "$scratch/console")
    [ "$status" = 0 ] || fail "$label ($command): status $status"
    [ "$(report_of "$label"; echo x)" = "${expected}x" ] ||
        fail "$label ($command): got $(report_of "$label" | od -c | head -5), want: $expected"
done
grep '^@@lines ' "$scratch/console" && fail "files of more than one line"
if [ -n "$capture" ]; then
    awk '/^@@file / { print substr($0, 8) } /^@@captured boot / { exit }' "$scratch/console" >"$capture/$machine.boot"
    awk 'on && /^@@file / { print substr($0, 8) } /^@@captured boot / { on = 1 }' "$scratch/console" >"$capture/$machine.after"
fi
finish "$machine"
