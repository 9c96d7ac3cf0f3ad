#!/usr/bin/perl
#
# Authors the template workbook that Quorbel carries inside itself and fills
# for every to-do sheet: one worksheet "To-do list" with the heading block
# (title, "To be completed by:" / "Deadline:" and their placeholders), the
# list's header row 5 and the one styled data row 6 that the build copies
# for each entry.
#
#   perl make-template.pl OUTPUT.xls
#
# The output is the same byte for byte on every run (no document properties
# are written, since they would carry the time of the run), so the committed
# template.xls can be compared with a fresh run.

use strict;
use warnings;

use File::Basename qw(dirname basename);
use Spreadsheet::WriteExcel;

die "usage: $0 OUTPUT.xls\n" unless @ARGV == 1;
my $output = $ARGV[0];

# Write next to the target and move into place, so that a failed run never
# leaves a half-written template behind.
my $partial = dirname($output) . '/.' . basename($output) . ".partial$$";

my $workbook = Spreadsheet::WriteExcel->new($partial)
    or die "Cannot write $partial: $!\n";

# The header fill. It takes the palette slot of the standard indigo (333399),
# the nearest of the standard colours.
my $HEADER_FILL = $workbook->set_custom_color(62, 0x4A, 0x4A, 0x6E);
my $WHITE       = 9;    # FFFFFF in the standard palette

my $sheet = $workbook->add_worksheet('To-do list');

# ---------------------------------------------------------------------------
# Sheet view and printing

$sheet->hide_gridlines(2);          # neither on screen nor on paper
$sheet->set_selection('B1');          # the active cell the build leaves selected
$sheet->print_row_col_headers(0);   # headings shown on screen, not printed

# ---------------------------------------------------------------------------
# Column widths, in characters of the standard font (7 pixels a character
# plus 5 pixels of padding). The office rounds a width to whole pixels; the
# writer cuts it, so each width is handed over as the exact pixel width it
# stands for, plus a hair against floating-point error.

sub chars_for_pixels {
    my ($chars) = @_;
    my $pixels = int($chars * 7 + 0.5) + 5;
    return ($pixels - 5) / 7 + 0.001;
}

my @widths = (
    [ 'A:A',  1.29 ],
    [ 'B:B',  8.57 ],
    [ 'C:C', 16.71 ],
    [ 'D:D', 10.71 ],
    [ 'E:E', 24.14 ],
    [ 'F:F',  9.14 ],
    [ 'G:G', 19.86 ],
    [ 'H:H',  5.86 ],
    [ 'I:I', 11.0  ],
    [ 'J:IV', 9.14 ],   # every further column the format holds
);
$sheet->set_column($_->[0], chars_for_pixels($_->[1])) for @widths;

# ---------------------------------------------------------------------------
# Row heights, in points. Rows 3 and 4 are thin spacers between the heading
# block and the list.

my @heights = (41.25, 12.75, 5.25, 4.5, 16.5, 16.5);
$sheet->set_row($_, $heights[$_]) for 0 .. $#heights;

# ---------------------------------------------------------------------------
# Styles. Vertical alignment is bottom unless a style says otherwise.

sub style { return $workbook->add_format(font => 'Tahoma', size => 10, @_) }

my %header = (color => $WHITE, pattern => 1, fg_color => $HEADER_FILL,
              valign => 'vcenter');
my %notes  = (text_wrap => 1, pattern => 1, fg_color => $WHITE);

my $title       = style(size => 24, bold => 1);
my $label       = style(bold => 1, align => 'right');
my $placeholder = style();

my $done_head    = style(%header, size => 8, bold => 1, border => 1);
my $project_head = style(%header, top => 1, bottom => 1);
my $due_head     = style(%header, top => 1);
my $notes_head_e = style(%header, left => 1, top => 1);
my $notes_head_f = style(%header, top => 1);
my $notes_head_g = style(%header, right => 1, top => 1);

my $done_cell    = $workbook->add_format(font => 'Marlett', size => 10,
                                         align => 'right', border => 1);
my $project_cell = style(text_wrap => 1, left => 1, bottom => 1);
my $due_cell     = style(num_format => 'm/d/yy;@', left => 1, bottom => 1);
my $notes_cell_e = style(%notes, left => 1, bottom => 1);
my $notes_cell_f = style(%notes, bottom => 1);
my $notes_cell_g = style(%notes, right => 1, bottom => 1);

# ---------------------------------------------------------------------------
# Heading block. B1:C1 and E6:G6 are merged areas; each of their cells is
# written with its own style first (the notes area has different borders per
# cell), then the area is merged.

$sheet->write_string('B1', 'To-do list', $title);
$sheet->write_blank('C1', $title);
$sheet->merge_cells('B1:C1');

$sheet->write_string('F1', 'To be completed by:', $label);
$sheet->write_string('G1', 'Name', $placeholder);
$sheet->write_string('F2', 'Deadline:', $label);
$sheet->write_string('G2', 'Date', $placeholder);

# The list: header row 5 and the styled, empty data row 6.

$sheet->write_string('B5', 'Done?',   $done_head);
$sheet->write_string('C5', 'Project', $project_head);
$sheet->write_string('D5', 'Due By',  $due_head);
$sheet->write_string('E5', 'Notes',   $notes_head_e);
$sheet->write_blank('F5', $notes_head_f);
$sheet->write_blank('G5', $notes_head_g);

$sheet->write_blank('B6', $done_cell);
$sheet->write_blank('C6', $project_cell);
$sheet->write_blank('D6', $due_cell);
$sheet->write_blank('E6', $notes_cell_e);
$sheet->write_blank('F6', $notes_cell_f);
$sheet->write_blank('G6', $notes_cell_g);
$sheet->merge_cells('E6:G6');

# The "Done?" column carries a filter drop-down; no condition is set.
$sheet->autofilter('B5:B6');

$workbook->close() or die "Cannot write $partial: $!\n";
rename($partial, $output) or die "Cannot move $partial to $output: $!\n";
