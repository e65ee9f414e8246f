;; The starter project's start-up code. The stack starts below 0xE000, away from the top of
;; memory, where the mapper's register at 0xFFFF would take the bank numbers the program writes
;; for the high byte of a return address.
	.module crt0
	.globl	_main

	.area	_HEADER (ABS)
	.org	0
	di
	ld	sp, #0xE000
	call	gsinit
	call	_main
1$:
	halt
	jr	1$

	;; The order of the areas in memory.
	.area	_HOME
	.area	_CODE
	.area	_INITIALIZER
	.area	_GSINIT
	.area	_GSFINAL
	.area	_DATA
	.area	_INITIALIZED
	.area	_BSEG
	.area	_BSS
	.area	_HEAP

	.area	_GSINIT
gsinit::
	;; Variables without a value start at 0.
	ld	bc, #l__DATA
	ld	a, b
	or	a, c
	jr	Z, 2$
	ld	hl, #s__DATA
	ld	(hl), #0
	dec	bc
	ld	a, b
	or	a, c
	jr	Z, 2$
	ld	e, l
	ld	d, h
	inc	de
	ldir
2$:
	;; Variables with a value get it from its copy in ROM.
	ld	bc, #l__INITIALIZER
	ld	a, b
	or	a, c
	jr	Z, 3$
	ld	de, #s__INITIALIZED
	ld	hl, #s__INITIALIZER
	ldir
3$:
	.area	_GSFINAL
	ret
