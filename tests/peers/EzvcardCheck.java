// Reads vCard files with ez-vcard, as another contact program would, and prints what it made of each card:
//   FILE <tab> path
//   CARD <tab> number <tab> version          (one line per card ez-vcard read, counted from 1)
//   WARN <tab> number <tab> code <tab> property <tab> message
//   FAIL <tab> message                       (the file could not be read at all)
// The paths come one per line from the file named as the only argument, so that one Java start reads all.
import ezvcard.Ezvcard;
import ezvcard.VCard;
import ezvcard.io.ParseWarning;

import java.io.File;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

public class EzvcardCheck {
    private static String oneLine(Object text) {
        return String.valueOf(text).replace('\t', ' ').replace('\r', ' ').replace('\n', ' ');
    }

    public static void main(String[] args) throws Exception {
        PrintStream out = new PrintStream(System.out, false, StandardCharsets.UTF_8);
        for (String path : Files.readAllLines(Path.of(args[0]), StandardCharsets.UTF_8)) {
            if (path.isEmpty()) {
                continue;
            }
            out.println("FILE\t" + path);
            List<List<ParseWarning>> warnings = new ArrayList<>();
            List<VCard> cards;
            try {
                cards = Ezvcard.parse(new File(path)).warnings(warnings).all();
            } catch (Exception e) {
                out.println("FAIL\t" + oneLine(e));
                continue;
            }
            for (int i = 0; i < cards.size(); ++i) {
                VCard card = cards.get(i);
                out.println("CARD\t" + (i + 1) + "\t" + (card.getVersion() == null ? "" : card.getVersion().getVersion()));
                if (i < warnings.size()) {
                    for (ParseWarning warning : warnings.get(i)) {
                        out.println("WARN\t" + (i + 1) + "\t" + warning.getCode() + "\t"
                                + oneLine(warning.getPropertyName()) + "\t" + oneLine(warning.getMessage()));
                    }
                }
            }
        }
        out.flush();
    }
}
