| A Mega Drive ROM that shows a palette file: it loads the 64 colour words of
| palette.bin (all four palette lines) into colour RAM and shows them as four
| rows of 16 bars, palette line k in row k, bar n in colour n of its line.
| Colour 0 of a line cannot be drawn by a tile (index 0 is transparent), so
| bar 0 shows the backdrop, which an interrupt after every 56 screen lines
| switches to colour 0 of the next row's line.
|
| A palette of fewer than 64 colours is followed by the marker colour 0A4C.
|
|   m68k-linux-gnu-as -m68000 --register-prefix-optional -o rom.o palette_rom.s
|   m68k-linux-gnu-ld -Ttext=0 -e 0 --oformat binary -o rom.bin rom.o

        .equ    VDP_DATA, 0xC00000
        .equ    VDP_CONTROL, 0xC00004
        .equ    ROW, 0xFF0000              | work RAM: the row being drawn

        .text
        .org    0
        .long   0x00FFFE00                 | initial stack pointer
        .long   start                      | reset
        .rept   22
        .long   halt                       | exceptions
        .endr
        .long   halt                       | spurious interrupt
        .long   halt, halt, halt           | levels 1-3
        .long   next_row                   | level 4: horizontal interrupt
        .long   halt                       | level 5
        .long   first_row                  | level 6: vertical interrupt
        .long   halt                       | level 7
        .rept   32
        .long   halt                       | traps and the rest
        .endr

        .org    0x100
        .ascii  "SEGA MEGA DRIVE "
        .ascii  "(C)TINT 2026.DEC"
        .org    0x200

start:
        move.w  #0x2700, sr                | no interrupts while setting up
        move.b  0xA10001, d0               | TMSS: a console with it wants "SEGA"
        andi.b  #0x0F, d0
        beq.s   1f
        move.l  #0x53454741, 0xA14000
1:
        lea     VDP_CONTROL, a0
        lea     VDP_DATA, a1
        move.w  (a0), d0                   | read the status: resets the port

        lea     registers(pc), a2          | the display mode
        moveq   #registers_end - registers - 1, d1
        lsr.w   #1, d1
2:      move.w  (a2)+, (a0)
        dbra    d1, 2b

        move.l  #0xC0000000, (a0)          | colour RAM from address 0
        lea     palette(pc), a2
        moveq   #63, d1
3:      move.w  (a2)+, (a1)
        dbra    d1, 3b

        move.l  #0x40000010, (a0)          | vertical scroll 0 for both planes
        move.l  #0, (a1)
        move.l  #0x7C000003, (a0)          | horizontal scroll 0 (table at FC00)
        move.l  #0, (a1)

        move.l  #0x40000000, (a0)          | tiles 0-15 at 0: tile n is all colour n
        moveq   #0, d2
        moveq   #15, d1
4:      moveq   #7, d3
5:      move.l  d2, (a1)
        dbra    d3, 5b
        addi.l  #0x11111111, d2
        dbra    d1, 4b

        move.l  #0x40000003, (a0)          | plane A at C000: 32 x 32 cells
        moveq   #0, d4                     | cell row
6:      move.w  d4, d5                     | row of bars: 7 cell rows each
        ext.l   d5
        divu    #7, d5
        andi.w  #3, d5
        lsl.w   #8, d5
        lsl.w   #5, d5                     | palette line in bits 13-14
        moveq   #0, d6                     | cell column
7:      move.w  d6, d7
        lsr.w   #1, d7                     | two cells a bar
        or.w    d5, d7
        move.w  d7, (a1)
        addq.w  #1, d6
        cmpi.w  #32, d6
        bne.s   7b
        addq.w  #1, d4
        cmpi.w  #32, d4
        bne.s   6b

        move.w  #0, ROW
        move.w  #0x8164, (a0)              | display on, vertical interrupt on
        move.w  #0x2000, sr                | take interrupts
halt:
        bra.s   halt

first_row:                                 | vertical blank: back to line 0
        move.w  #0, ROW
        move.w  #0x8700, VDP_CONTROL
        rte

next_row:                                  | after every 56 screen lines
        movem.l d0, -(sp)
        move.w  ROW, d0
        addq.w  #1, d0
        andi.w  #3, d0
        move.w  d0, ROW
        lsl.w   #4, d0
        ori.w   #0x8700, d0                | backdrop: colour 0 of that line
        move.w  d0, VDP_CONTROL
        movem.l (sp)+, d0
        rte

registers:
        .word   0x8014                     | horizontal interrupt on
        .word   0x8104                     | display off while setting up, mode 5
        .word   0x8230                     | plane A at C000
        .word   0x8407                     | plane B at E000
        .word   0x856C                     | sprites at D800
        .word   0x8700                     | backdrop colour 0
        .word   0x8A37                     | horizontal interrupt every 56 lines
        .word   0x8B00                     | whole-screen scrolling
        .word   0x8C00                     | 256 x 224
        .word   0x8D3F                     | horizontal scroll at FC00
        .word   0x8F02                     | auto-increment 2
        .word   0x9000                     | 32 x 32-cell planes
        .word   0x9100, 0x9200             | no window
registers_end:

palette:
        .incbin "palette.bin"
palette_end:
        .fill   (128 - (palette_end - palette)) / 2, 2, 0x0A4C
